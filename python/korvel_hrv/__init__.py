# SPDX-License-Identifier: MIT
"""Heart-rate-variability analysis from Python, through the same host, extension and code
as the korvel-hrv command-line tool.

    import korvel_hrv
    a = korvel_hrv.analyze("mitdb/100.hea", preset="Human")
    a.results["time_domain"]["rmssd_s"], a.beats["rr_s"], a.save("out/100")

korvel_hrv.cohort runs a manifest of recordings on a Dask cluster.
"""
from ._native import Error, read_signal
from .analysis import Analysis, Spectrum, analyze

__all__ = ["Analysis", "Error", "Spectrum", "analyze", "read_signal"]
