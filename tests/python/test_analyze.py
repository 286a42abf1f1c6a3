# SPDX-License-Identifier: MIT
# analyze() against the command-line tool on the shared recordings.
import json
import subprocess
from concurrent.futures import ThreadPoolExecutor

import pandas
import pytest

import korvel_hrv
from conftest import TOOL

CASES = [("mitdb/100.hea", "Human", None), ("animal/Dog_example.hea", "Large Dog", "auto")]


def cli_beats(path):
    beats = pandas.read_csv(path, keep_default_na=False, na_values=[""], float_precision="round_trip")
    beats["flags"] = beats["flags"].map(lambda text: int(text, 16))
    return beats


@pytest.mark.parametrize("record,preset,box", CASES)
def test_analyze_writes_and_returns_what_the_tool_writes(data, tmp_path, record, preset, box):
    subprocess.run([TOOL, "analyze", data / record, "--preset", preset, "--out", tmp_path / "cli"] +
                   (["--box", box] if box else []), check=True, capture_output=True)
    analysis = korvel_hrv.analyze(data / record, preset=preset, box=box)
    analysis.save(tmp_path / "py")
    assert analysis.results == json.loads((tmp_path / "cli" / "results.json").read_text())
    files = sorted(f.relative_to(tmp_path / "cli") for f in (tmp_path / "cli").rglob("*") if f.is_file())
    assert files == sorted(f.relative_to(tmp_path / "py") for f in (tmp_path / "py").rglob("*") if f.is_file())
    for name in files:
        assert (tmp_path / "py" / name).read_bytes() == (tmp_path / "cli" / name).read_bytes(), name
    pandas.testing.assert_frame_equal(analysis.beats_frame(), cli_beats(tmp_path / "cli" / "beats.csv"),
                                      check_dtype=False, check_exact=True)
    frequencies, power = analysis.spectrum
    assert len(frequencies) == len(power) == len(analysis.results["spectrum"]["power_s2"]) > 0


def test_an_array_gives_what_its_file_gives(data):
    samples, fs = korvel_hrv.read_signal(data / "mitdb/100.hea")
    options = dict(preset="Human", start=60.0, end=900.0, settings={"MinRR": 0.3}, box=(0.3, 1.6, 0.5, 2.5))
    from_file = korvel_hrv.analyze(data / "mitdb/100.hea", **options)
    from_array = korvel_hrv.analyze(samples, fs=fs, **options)
    assert from_array.results["settings"]["MaxFF"] == 2.5
    assert {k: v for k, v in from_array.results.items() if k != "recording"} == \
        {k: v for k, v in from_file.results.items() if k != "recording"}
    pandas.testing.assert_frame_equal(from_array.beats_frame(), from_file.beats_frame(), check_exact=True)


def test_two_threads_get_what_one_thread_gets(data):
    paths = [data / record for record, _, _ in CASES]
    alone = [korvel_hrv.analyze(p).results for p in paths]
    with ThreadPoolExecutor(2) as pool:
        assert [a.results for a in pool.map(korvel_hrv.analyze, paths)] == alone


@pytest.mark.parametrize("call,error,message", [
    (lambda d: korvel_hrv.analyze(d / "mitdb/nothing.hea"), korvel_hrv.Error, "nothing.hea: file not found"),
    (lambda d: korvel_hrv.analyze(d / "animal/Dog_example.hea", signal=3), korvel_hrv.Error, "signal 3 does not exist"),
    (lambda d: korvel_hrv.analyze(d / "mitdb/100.hea", preset="Cat"), korvel_hrv.Error, "unknown preset \"Cat\""),
    (lambda d: korvel_hrv.analyze(d / "mitdb/100.hea", settings={"MinRR": -1}), korvel_hrv.Error, "settings refused"),
    (lambda d: korvel_hrv.analyze(d / "mitdb/100.hea", start=10.0, end=9e9), korvel_hrv.Error, "beyond the end"),
    (lambda d: korvel_hrv.analyze([0.0] * 100), ValueError, "needs its sampling rate"),
])
def test_errors_arrive_as_exceptions_with_the_message(data, call, error, message):
    with pytest.raises(error, match=message):
        call(data)
