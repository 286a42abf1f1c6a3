#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end cost of `korvel-hrv analyze` and `korvel-hrv sample` on a synthetic 1 kHz ECG
# (24 hours unless MINUTES says otherwise): wall time, CPU time and peak memory as
# /usr/bin/time reports them, over ROUNDS interleaved rounds, with the median of each and
# the load average before every run (on a shared machine the load says what a figure is
# worth). REFERENCE, when given, is a command timed in the same rounds on the same WFDB
# record, with {record} standing for the record's name and the record's folder as the
# current one (an external detector, say); what it writes stays in the scratch folder.
# Usage: bench/analyze_day.sh [BUILD_DIR] [ROUNDS] [MINUTES] [REFERENCE]
set -euo pipefail
build=$(realpath "${1:-build}")
rounds=${2:-3}
minutes=${3:-1440}
reference=${4:-}
tool="$build/apps/korvel-hrv"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" synthesize "$work/day.hea" --species human --minutes "$minutes" --rate 1000

# run LABEL COMMAND...: one timed run, its figures appended to $work/LABEL.
run() {
  local label=$1
  shift
  local load
  load=$(cut -d' ' -f1 /proc/loadavg)
  if ! (cd "$work" && /usr/bin/time -o "$work/time.txt" -f "%e %U %S %M" "$@" > /dev/null 2> "$work/errors.txt"); then
    cat "$work/errors.txt" >&2
    exit 1
  fi
  read -r wall user sys peak < "$work/time.txt"
  echo "$label: wall $wall s, user $user s, system $sys s, peak $((peak / 1024)) MiB, load $load"
  echo "$wall $peak" >> "$work/$label"
}

for ((i = 1; i <= rounds; ++i)); do
  run analyze "$tool" analyze day.hea --out out-analyze
  run sample "$tool" sample day.hea --out out-sample
  if [[ -n "$reference" ]]; then run reference sh -c "${reference//\{record\}/day}"; fi
done
for f in beats.csv results.json rr.txt; do
  cmp -s "$work/out-analyze/$f" "$work/out-sample/$f" || echo "sample and analyze differ in $f"
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
for label in analyze sample reference; do
  [[ -f "$work/$label" ]] || continue
  echo "median of $rounds, $label: wall $(cut -d' ' -f1 "$work/$label" | median) s," \
    "peak $(( $(cut -d' ' -f2 "$work/$label" | median | cut -d. -f1) / 1024 )) MiB"
done
