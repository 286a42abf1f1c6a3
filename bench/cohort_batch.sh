#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Throughput of `korvel-hrv batch` on a cohort of 20 synthetic half-hour ECGs (written to a
# temporary folder): wall time with one job and with two, the speed-up, and the batch's
# cost per recording over running `korvel-hrv analyze` on each recording by hand; the load
# average before and after, since other work on the machine skews the figures.
# Usage: bench/cohort_batch.sh [BUILD_DIR] [RECORDINGS]
set -euo pipefail
build=${1:-build}
count=${2:-20}
tool="$(realpath "$build/apps/korvel-hrv")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "path" > "$work/cohort.csv"
for i in $(seq 1 "$count"); do
  "$tool" synthesize "$work/rec$i.hea" --minutes 30 --seed "$i" > /dev/null
  echo "rec$i.hea" >> "$work/cohort.csv"
done
now() { date +%s.%N; }
seconds() { echo "$2 - $1" | bc; }
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

start=$(now)
for i in $(seq 1 "$count"); do "$tool" analyze "$work/rec$i.hea" --out "$work/bare/rec$i" > /dev/null; done
bare=$(seconds "$start" "$(now)")
start=$(now)
"$tool" batch "$work/cohort.csv" --out "$work/one" --jobs 1 2> /dev/null
one=$(seconds "$start" "$(now)")
start=$(now)
"$tool" batch "$work/cohort.csv" --out "$work/two" --jobs 2 2> /dev/null
two=$(seconds "$start" "$(now)")
start=$(now)
"$tool" batch "$work/cohort.csv" --out "$work/two" --jobs 2 2> /dev/null
rerun=$(seconds "$start" "$(now)")

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
cmp -s "$work/one/cohort.csv" "$work/two/cohort.csv" && echo "cohort.csv identical with 1 and 2 jobs"
printf "%d recordings: bare analyze %.2f s, batch --jobs 1 %.2f s, --jobs 2 %.2f s, rerun (all done) %.2f s\n" \
  "$count" "$bare" "$one" "$two" "$rerun"
printf "speed-up with 2 jobs: %.2f x; batch overhead per recording: %.0f ms\n" \
  "$(echo "$one / $two" | bc -l)" "$(echo "($one - $bare) * 1000 / $count" | bc -l)"
