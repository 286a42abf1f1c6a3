#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Throughput of `korvel-hrv batch` on a cohort of synthetic half-hour ECGs (20 by default,
# written to a temporary folder): the batch with one job and with two, `korvel-hrv
# analyze` run on each recording in turn by hand, and two such loops at once. Each runs
# ROUNDS times, interleaved, and the fastest wall time counts, with the CPU time of that
# run; the load average is shown, since other work on the machine slows the runs it
# shares the processors with.
# Usage: bench/cohort_batch.sh [BUILD_DIR] [RECORDINGS] [ROUNDS]
set -euo pipefail
build=${1:-build}
count=${2:-20}
rounds=${3:-3}
tool="$(realpath "$build/apps/korvel-hrv")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "path" > "$work/cohort.csv"
for i in $(seq 1 "$count"); do
  "$tool" synthesize "$work/rec$i.hea" --minutes 30 --seed "$i" > /dev/null
  echo "rec$i.hea" >> "$work/cohort.csv"
done

# `analyze` on recordings FIRST, FIRST + STEP, ... in turn.
bare() {
  for i in $(seq "${1:-1}" "${2:-1}" "$count"); do "$tool" analyze "$work/rec$i.hea" --out "$work/out/rec$i" > /dev/null; done
}
# Two such loops at once, over the odd and the even recordings: the speed-up the machine
# allows two processes now, against which the batch's is judged.
pair() { bare 1 2 & bare 2 2 & wait; }
batch() { "$tool" batch "$work/cohort.csv" --out "$work/out" --jobs "$1" 2> /dev/null; }
export -f bare pair batch
export tool work count
declare -A wall cpu
# Runs `$2` in a fresh output folder; keeps the fastest wall time (and its CPU time) as `$1`.
measure() {
  rm -rf "$work/out"
  read -r w u s < <({ /usr/bin/time -f "%e %U %S" bash -c "$2" > /dev/null; } 2>&1 | tail -1)
  if [[ -z "${wall[$1]:-}" ]] || (($(echo "$w < ${wall[$1]}" | bc))); then
    wall[$1]=$w
    cpu[$1]=$(echo "$u + $s" | bc)
  fi
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for _ in $(seq 1 "$rounds"); do
  measure bare bare
  measure pair pair
  measure one "batch 1"
  measure two "batch 2"
done
cp "$work/out/cohort.csv" "$work/two.csv"
batch 1
cmp -s "$work/out/cohort.csv" "$work/two.csv" && echo "cohort.csv: the same bytes with 1 and 2 jobs"
rerun=$( { /usr/bin/time -f "%e" bash -c "batch 2"; } 2>&1 | tail -1)
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

for k in bare pair one two; do printf "%-5s wall %6.2f s  cpu %6.2f s\n" "$k" "${wall[$k]}" "${cpu[$k]}"; done
echo "rerun with every recording done: $rerun s"
printf "speed-up with 2 jobs: %.2f x (two bare analyze loops at once: %.2f x)\n" \
  "$(echo "${wall[one]} / ${wall[two]}" | bc -l)" "$(echo "${wall[bare]} / ${wall[pair]}" | bc -l)"
printf "batch overhead per recording over bare analyze: wall %.0f ms, cpu %.0f ms\n" \
  "$(echo "(${wall[one]} - ${wall[bare]}) * 1000 / $count" | bc -l)" "$(echo "(${cpu[one]} - ${cpu[bare]}) * 1000 / $count" | bc -l)"
