#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end cost of `korvel-hrv analyze` on a synthetic 24-hour, 1 kHz ECG: wall time and
# peak memory as /usr/bin/time reports them. Usage: bench/analyze_day.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
tool="$build/apps/korvel-hrv"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" synthesize "$work/day.hea" --species human --minutes 1440 --rate 1000
/usr/bin/time -f "wall %e s, user %U s, system %S s, peak memory %M KiB" \
  "$tool" analyze "$work/day.hea" --out "$work/out"
