# SPDX-License-Identifier: MIT
"""analyze(): one recording, a file or an array, analysed as `korvel-hrv analyze` does."""
import json
import os
from typing import NamedTuple

import numpy as np

from . import _native

# beats.csv's columns and the types they read back as (an empty cell in a float column is NaN).
BEAT_DTYPE = np.dtype([
    ("beat_number", "i8"), ("record", "i4"), ("tick", "i8"), ("time_s", "f8"), ("rr_s", "f8"),
    ("delta_rr_s", "f8"), ("rate_hz", "f8"), ("ff", "f8"), ("activity", "f8"), ("mobility", "f8"),
    ("peak_value", "f8"), ("peak_index", "i8"), ("flags", "u4"), ("class", "U7"),
])

# The classifier box as settings by name.
BOX_SETTINGS = ("MinRR", "MaxRR", "MinFF", "MaxFF")


class Spectrum(NamedTuple):
    frequencies_hz: np.ndarray
    power_s2: np.ndarray


def _beats(native):
    columns = native.beat_columns()
    if tuple(columns) != BEAT_DTYPE.names:
        raise _native.Error(f"beats.csv has the columns {list(columns)}, not {list(BEAT_DTYPE.names)}")
    beats = np.empty(len(columns["class"]), dtype=BEAT_DTYPE)
    for name, values in columns.items():
        beats[name] = values
    return beats


class Analysis:
    """One analysed recording: .results (results.json as a dict), .beats (beats.csv as a
    structured array), .spectrum, .beats_frame() and .save(dir)."""

    def __init__(self, native):
        self._native = native
        self.results = json.loads(native.results_json)
        self.beats = _beats(native)

    @property
    def spectrum(self):
        s = self.results["spectrum"]
        power = np.array([np.nan if p is None else p for p in s["power_s2"]], dtype=float)
        return Spectrum((np.arange(len(power)) + s["first_bin"]) * s["df_hz"], power)

    def beats_frame(self):
        """The beats as a pandas DataFrame (needs pandas)."""
        import pandas
        return pandas.DataFrame(self.beats)

    def save(self, dir):
        """Writes the files `korvel-hrv analyze --out dir` writes; an array's samples go to
        dir/samples.csv, which the document file refers to."""
        self._native.save(os.fspath(dir))


def analyze(source, fs=None, signal=0, preset=None, settings=None, start=None, end=None, box=None):
    """Analyses `source`, a recording file (WFDB .hea, EDF/BDF, .mat, CSV/TSV) or a 1-D
    array of samples at `fs` Hz, as `korvel-hrv analyze` does.

    signal: the recorded signal, from 0 (files only). preset: a species preset ("Human",
    "Large Dog", ...). settings: a settings file's path, or a dict of settings by name.
    start, end: the range to analyse, seconds. box: the classifier box (MinRR, MaxRR,
    MinFF, MaxFF) in seconds and FF, over the preset's; or "auto", fitted to the
    recording's main cluster of beats as `--box auto` fits it. For a CSV file without a time
    column, fs gives its rate. Raises korvel_hrv.Error with the tool's message.
    """
    request = _native.Request()
    request.signal = signal
    request.preset = preset
    request.start = start
    request.end = end
    values = {}
    if isinstance(settings, dict):
        values.update(settings)
    elif settings is not None:
        request.settings_file = os.fspath(settings)
    if isinstance(box, str):
        request.box = box
    elif box is not None:
        if len(box) != len(BOX_SETTINGS):
            raise ValueError("box is (MinRR, MaxRR, MinFF, MaxFF)")
        values.update(zip(BOX_SETTINGS, box))
    request.setting_values = json.dumps(values)
    if isinstance(source, (str, os.PathLike)):
        return Analysis(_native.analyze_file(os.fspath(source), request, float(fs or 0)))
    if fs is None:
        raise ValueError("an array of samples needs its sampling rate: analyze(samples, fs=...)")
    if signal != 0:
        raise ValueError("an array holds one signal: leave signal at 0")
    # The host holds samples as 32-bit floats, as its importers read them.
    return Analysis(_native.analyze_samples(np.asarray(source, dtype=np.float32), float(fs), request))
