# SPDX-License-Identifier: MIT
"""A cohort on a Dask cluster: `korvel-hrv batch`'s per-recording work spread over the
cluster's workers, with the same OUT layout and the same cohort.csv and failures.csv.

    from korvel_hrv import cohort
    cohort.run("study.csv", "out/study")                       # a local cluster
    cohort.run("study.csv", "out/study", "tcp://scheduler:8786")

Every worker must import korvel_hrv and see the manifest, the recordings and OUT at the
same paths (a shared file system); it runs the korvel-hrv built with the module, or
$KORVEL_HRV_TOOL.
"""
import os
import sys
import time

from . import _native


def _run_one(manifest, index, out):
    return _native.run_recording(manifest, index, out)


def run(manifest, out, client=None):
    """Analyses every recording of `manifest` into out/<id>/ on `client` (a
    distributed.Client, a scheduler address, or None for a local cluster), then writes
    out/cohort.csv and out/failures.csv. Finished recordings are not redone. Returns the
    number of failed recordings."""
    from distributed import Client, LocalCluster, as_completed

    manifest, out = os.path.abspath(manifest), os.path.abspath(out)
    ids = _native.manifest_ids(manifest)
    os.makedirs(out, exist_ok=True)
    cluster = LocalCluster(dashboard_address=None) if client is None else None
    owned = client is None or isinstance(client, str)
    if owned:
        client = Client(cluster if cluster is not None else client)
    try:
        futures = [client.submit(_run_one, manifest, i, out, pure=False) for i in range(len(ids))]
        started, done, failed = time.monotonic(), 0, 0
        for future in as_completed(futures):
            done += 1
            failed += future.result() == "failed"
            left = (time.monotonic() - started) / done * (len(ids) - done)
            print(f"cohort: {done}/{len(ids)} done, {failed} failed, about {left:.0f} s left", file=sys.stderr)
    finally:
        if owned:
            client.close()
        if cluster is not None:
            cluster.close()
    return _native.write_cohort_tables(manifest, out)
