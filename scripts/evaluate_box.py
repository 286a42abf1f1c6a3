#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""How well a classifier box separates beats, judged against reference annotations.

For each record it runs `korvel-hrv analyze` (with --box auto unless told otherwise),
matches the detected beats (beats.csv) one to one with the reference beats within 150 ms,
nearest pairs first, and prints:
  normal  the share of reference beats whose interval and previous interval are both
          normal (three normal beats in a row) that the analysis calls Normal;
  ventr.  the share of reference ventricular beats (V, E) whose matched beat lies outside
          the box (class Ectopic); an unmatched reference beat counts as a failure in both.

Usage: scripts/evaluate_box.py [--tool PATH] [--data DIR] [--box auto|preset]
                               [--require-normal PCT] [--require-ventricular PCT] [RECORD[:PRESET] ...]
RECORD is a path under DIR without extension (mitdb/106); the reference is RECORD.atr,
or RECORD.qrs where that exists (the animal records' hand-checked beats). Without records
it evaluates the shared mitdb and animal recordings with their species presets. With
--require-normal or --require-ventricular it exits 1 when a record's share is below that
percentage, and 77 (skipped) when the recordings are absent."""
import argparse
import csv
import json
import os
import struct
import subprocess
import sys
import tempfile

NORMAL = {1, 2, 3, 11, 34}       # N, L, R, j, e: the normal class of beat-by-beat evaluations
VENTRICULAR = {5, 10}            # V, E
BEAT = set(range(1, 14)) | {25, 30, 31, 34, 35, 38, 41}
DEFAULT = ['mitdb/100:Human', 'mitdb/103:Human', 'mitdb/105:Human', 'mitdb/106:Human',
           'animal/Dog_example:Small Dog', 'animal/Mouse_24:Mouse', 'animal/Rabbit_example:Rabbit']
WINDOW = 0.15


def sampling_rate(header):
    with open(header) as f:
        record_line = next(line for line in f if line.strip() and not line.startswith('#'))
    return float(record_line.split()[2].split('/')[0])


def read_annotations(path, rate):
    """(time s, code) of the beat annotations of a WFDB annotation file in the MIT format."""
    data = open(path, 'rb').read()
    out, t, i = [], 0, 0
    while i + 1 < len(data):
        word = data[i] | data[i + 1] << 8
        i += 2
        code, value = word >> 10, word & 0x3FF
        if code == 0 and value == 0:
            break
        if code == 59:  # SKIP: a signed 32-bit increment, high half first
            hi, lo = struct.unpack('<HH', data[i:i + 4])
            t += struct.unpack('<i', struct.pack('<I', hi << 16 | lo))[0]
            i += 4
        elif code == 63:  # AUX text
            text = data[i:i + value]
            if text.startswith(b'## time resolution:'):
                rate = float(text.split(b':')[1])
            i += value + (value & 1)
        elif code < 59:
            t += value
            if code in BEAT:
                out.append((t, code))
    return [(tick / rate, code) for tick, code in out]


def match(detected, reference):
    """Index of the detected beat matched with each reference beat, or None."""
    pairs = []
    first = 0
    for r, (time, _) in enumerate(reference):
        while first < len(detected) and detected[first] < time - WINDOW:
            first += 1
        d = first
        while d < len(detected) and detected[d] <= time + WINDOW:
            pairs.append((abs(detected[d] - time), r, d))
            d += 1
    pairs.sort()
    matched, used = [None] * len(reference), set()
    for _, r, d in pairs:
        if matched[r] is None and d not in used:
            matched[r], used = d, used | {d}
    return matched


def evaluate(tool, data, record, preset, box):
    base = os.path.join(data, record)
    reference_file = base + '.qrs' if os.path.exists(base + '.qrs') else base + '.atr'
    with tempfile.TemporaryDirectory() as out:
        command = [tool, 'analyze', base + '.hea', '--preset', preset, '--out', out, '--json']
        if box == 'auto':
            command += ['--box', 'auto']
        results = json.loads(subprocess.run(command, check=True, capture_output=True, text=True).stdout)
        with open(os.path.join(out, 'beats.csv')) as f:
            beats = list(csv.DictReader(f))
    reference = read_annotations(reference_file, sampling_rate(base + '.hea'))
    matched = match([float(b['time_s']) for b in beats], reference)
    cls = [beats[m]['class'] if m is not None else None for m in matched]
    nn = [i for i in range(2, len(reference)) if all(reference[j][1] in NORMAL for j in (i - 2, i - 1, i))]
    ventricular = [i for i, (_, code) in enumerate(reference) if code in VENTRICULAR]
    s = results['settings']
    return {
        'record': record, 'preset': preset,
        'box': 'RR %.3f-%.3f s, FF %.3f-%.3f' % (s['MinRR'], s['MaxRR'], s['MinFF'], s['MaxFF']),
        'nn': len(nn), 'nn_normal': sum(cls[i] == 'Normal' for i in nn),
        'ventricular': len(ventricular), 'ventricular_outside': sum(cls[i] == 'Ectopic' for i in ventricular),
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..')
    parser.add_argument('--tool', default=os.path.join(root, 'build', 'apps', 'korvel-hrv'))
    parser.add_argument('--data', default=os.environ.get('HRV_SHARED_DATA', os.path.join(root, '..', 'shared', 'data')))
    parser.add_argument('--box', default='auto', choices=['auto', 'preset'])
    parser.add_argument('--require-normal', type=float, default=0.0)
    parser.add_argument('--require-ventricular', type=float, default=0.0)
    parser.add_argument('records', nargs='*', default=DEFAULT)
    args = parser.parse_args()
    if not os.path.isdir(args.data):
        print('no recordings at %s (set HRV_SHARED_DATA): skipped' % args.data)
        sys.exit(77)
    failed = False
    print('%-22s %-10s %-34s %18s %16s' % ('record', 'preset', 'box', 'normal', 'ventr. outside'))
    for item in args.records:
        record, _, preset = item.partition(':')
        e = evaluate(args.tool, args.data, record, preset or 'Human', args.box)
        share = lambda k, n: '%d/%d %5.1f %%' % (e[k], e[n], 100.0 * e[k] / e[n]) if e[n] else 'n/a'
        print('%-22s %-10s %-34s %18s %16s' % (record, e['preset'], e['box'], share('nn_normal', 'nn'),
                                               share('ventricular_outside', 'ventricular')))
        for k, n, required in (('nn_normal', 'nn', args.require_normal),
                               ('ventricular_outside', 'ventricular', args.require_ventricular)):
            if e[n] and 100.0 * e[k] < required * e[n]:
                print('  %s: %s below %g %%' % (record, k, required))
                failed = True
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
