# SPDX-License-Identifier: MIT
# A cohort through `korvel-hrv batch` and through korvel_hrv.cohort on a local Dask cluster.
import csv
import json
import subprocess

import pytest

from conftest import TOOL

# A path twice: each row is its own recording, with its own id.
RECORDINGS = ["mitdb/100.hea", "mitdb/103.hea", "animal/Dog_example.hea", "mitdb/100.hea"]


def batch(manifest, out, jobs):
    return subprocess.run([TOOL, "batch", manifest, "--out", out, "--jobs", str(jobs)], capture_output=True, text=True)


@pytest.fixture(scope="module")
def cohort(data, tmp_path_factory):
    folder = tmp_path_factory.mktemp("cohort")
    (folder / "corrupt.hea").write_text("corrupt 1 360 1000\ncorrupt.dat 212 200 11 1024 0 0 0 MLII\n")
    rows = [f"{data / r}," for r in RECORDINGS] + ["missing.hea,", "corrupt.hea,"]
    rows[2] += "Large Dog"
    (folder / "study.csv").write_text("path,preset\n" + "\n".join(rows) + "\n")
    run = batch(folder / "study.csv", folder / "out", 2)
    return folder, run, data


def test_batch_finishes_the_rest_and_lists_the_failures(cohort):
    folder, run, data = cohort
    assert run.returncode == 1, run.stderr
    assert f"{len(RECORDINGS) + 2}/{len(RECORDINGS) + 2} done, 2 failed" in run.stderr
    with open(folder / "out" / "failures.csv") as f:
        failures = {row["id"]: row["message"] for row in csv.DictReader(f)}
    assert failures.keys() == {"missing", "corrupt"}
    assert "missing.hea: file not found" in failures["missing"]
    with open(folder / "out" / "cohort.csv") as f:
        table = list(csv.DictReader(f))
    assert [row["path"] for row in table] == [str(data / r) for r in RECORDINGS]
    assert len({row["id"] for row in table}) == len(table)
    for row in table:
        results = json.loads((folder / "out" / row["id"] / "results.json").read_text())
        assert float(row["time_domain.rmssd_s"]) == results["time_domain"]["rmssd_s"]
        assert int(row["beats.total"]) == results["beats"]["total"] > 0


def test_a_rerun_redoes_nothing_finished_and_writes_the_same_table(cohort):
    folder = cohort[0]
    out = folder / "out"
    before = {p: p.stat().st_mtime_ns for p in out.glob("*/complete")}
    table = (out / "cohort.csv").read_bytes()
    run = batch(folder / "study.csv", out, 1)
    assert f"{len(RECORDINGS)} already done, 2 failed" in run.stderr
    assert {p: p.stat().st_mtime_ns for p in out.glob("*/complete")} == before
    assert (out / "cohort.csv").read_bytes() == table


def test_a_dask_cluster_writes_the_same_tables(cohort):
    from distributed import Client, LocalCluster
    from korvel_hrv import cohort as dask_cohort
    folder = cohort[0]
    with LocalCluster(n_workers=2, threads_per_worker=1, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            assert dask_cohort.run(folder / "study.csv", folder / "dask", client) == 2
    for name in ["cohort.csv", "failures.csv"]:
        assert (folder / "dask" / name).read_bytes() == (folder / "out" / name).read_bytes(), name


def test_a_bad_manifest_is_refused_with_its_line(tmp_path):
    (tmp_path / "study.csv").write_text("path,sgnal\nx.hea,1\n")
    run = batch(tmp_path / "study.csv", tmp_path / "out", 1)
    assert run.returncode == 1
    assert "line 1: unknown column \"sgnal\"" in run.stderr
