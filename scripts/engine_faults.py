#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Puts deliberate faults into the numerical engine, one at a time, and checks that the
engine's tests catch each: builds the test target, runs it, names the tests that failed,
and restores the source. Exits 1 when a fault goes unnoticed.

Usage: scripts/engine_faults.py BUILD_DIR [TEST_TARGET ...]   (default hrv_engine_test)
BUILD_DIR is a configured build of this checkout with the tests on."""
import os
import subprocess
import sys

os.chdir(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
if len(sys.argv) < 2:
    sys.exit(__doc__)
build = sys.argv[1]
targets = sys.argv[2:] or ['hrv_engine_test']
# Each fault: what it is, the file, the exact text it replaces and the faulty text.
M = [
 ('flipped comparison: pRRx counts ties', 'hrv/engine/beat_statistics.cpp', 'return grid.above(std::abs(deltaRR), threshold);', 'return !grid.below(std::abs(deltaRR), threshold);'),
 ('dropped divisor: RMSSD without /n', 'hrv/engine/statistics.cpp', 'std::sqrt(r.deltaRR.sumSquares / r.beatCount)', 'std::sqrt(r.deltaRR.sumSquares)'),
 ('wrong divisor: variance over n', 'hrv/engine/statistics.cpp', 'corrected / (n - 1); }', 'corrected / n; }'),
 ('wrong SD2 formula', 'hrv/engine/statistics.cpp', '2.0 * varRR - 0.5 * varDelta', '2.0 * varRR - varDelta'),
 ('even-count median takes one middle value', 'hrv/engine/beat_statistics.cpp', '0.5 * (values[(n - 1) / 2] + values[n / 2])', 'values[n / 2]'),
 ('wrong taper coefficient (Hamming)', 'hrv/engine/lomb_scargle.cpp', '0.54 - 0.46 * std::cos', '0.54 - 0.44 * std::cos'),
 ('band edge rounded the other way', 'hrv/engine/lomb_scargle.cpp', 'edge_bin(std::ceil(high / spectrum.df', 'edge_bin(std::floor(high / spectrum.df'),
 ('Gaussian of the spectrum sums cut too early', 'hrv/engine/fourier_sums.cpp', 'constexpr int kReach = 16;', 'constexpr int kReach = 10;'),
 ("Scott's rule constant", 'hrv/engine/value_histogram.cpp', '3.5 * sd / std::cbrt(n)', '3.49 * sd / std::cbrt(n)'),
 ('classifier box edge inclusive', 'hrv/engine/classifier.cpp', 'if (grid_.below(beat.rr, box_.minRR) || grid_.above(beat.rr, box_.maxRR))', 'if (!grid_.above(beat.rr, box_.minRR) || grid_.above(beat.rr, box_.maxRR))'),
 ('off-by-one search window edge', 'hrv/engine/fiducial_search.cpp', 'std::int64_t{s} + params_.width;', 'std::int64_t{s} + params_.width - 1;'),
 ('user-removed beat not skipped', 'hrv/engine/fiducial_search.cpp', 'removed && *removed == here) continue;', 'removed && *removed == here && false) continue;'),
 ('SDARR boundary reached one step late', 'hrv/engine/group_averager.cpp', 'while (reached(t, boundary)) boundary += groupLength;', 'while (grid.above(t - boundary, 0.0)) boundary += groupLength;'),
 ('automatic box: RR margin too wide', 'hrv/engine/classifier_fit.cpp', 'kRRMargin = 0.10;', 'kRRMargin = 0.30;'),
 ('automatic box: outlying cluster kept', 'hrv/engine/classifier_fit.cpp', 'kClusterSpread = 5.0;', 'kClusterSpread = 50.0;'),
 ('beats without a waveform unknown', 'hrv/engine/classifier.cpp', '(waveform_ && std::isnan(beat.ff))', 'std::isnan(beat.ff)'),
]
ok = True
for name, path, old, new in M:
    text = open(path).read()
    assert text.count(old) == 1, (name, path)
    open(path, 'w').write(text.replace(old, new))
    try:
        b = subprocess.run(['ninja', '-C', build] + targets, capture_output=True, text=True)
        if b.returncode != 0:
            print(f'BUILD FAILED  {name}\n{b.stdout[-2000:]}'); ok = False; continue
        failed = []
        for t in targets:
            exe = subprocess.run(['find', build, '-name', t, '-type', 'f'], capture_output=True, text=True).stdout.split()[0]
            r = subprocess.run([exe, '--gtest_brief=1'], capture_output=True, text=True)
            failed += [l.split('] ')[1].split(' (')[0] for l in r.stdout.splitlines() if l.startswith('[  FAILED  ]') and '(' in l]
        print(('CAUGHT ' if failed else 'MISSED ') + name + (' by ' + ', '.join(sorted(set(failed))[:3]) if failed else ''))
        ok &= bool(failed)
    finally:
        open(path, 'w').write(text)
subprocess.run(['ninja', '-C', build] + targets, capture_output=True)
sys.exit(0 if ok else 1)
