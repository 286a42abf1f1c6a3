#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds every libFuzzer target (every build target whose name ends in "_fuzz") with clang,
# AddressSanitizer and UndefinedBehaviorSanitizer, then runs each for a bounded time.
# Fails when a target does not build, crashes, leaks or triggers a sanitizer report.
#
# Usage: scripts/fuzz.sh [seconds per target, default 30]
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_JOBS (default 2), FUZZ_TARGETS (the
# targets to build and run, separated by spaces; default every one), FUZZ_TIMEOUT (seconds
# one input may take before it counts as a hang, default 10).
# Seeds are taken from fuzz/corpus/<target>/ when that folder exists; the growing corpus and
# any crash inputs stay in the build directory.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

# The warning set is written for GCC; clang does not know -Wshadow=local, and under -Werror
# an unknown option would stop the build, so clang is told to ignore unknown options.
CXX=${CXX:-clang++} cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DHRV_BUILD_FUZZ=ON -DHRV_BUILD_TESTS=OFF -DHRV_BUILD_BENCH=OFF \
  -DHRV_SANITIZE=address,undefined \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -Wno-unknown-warning-option" >/dev/null

# Every executable linked by the build appears as "<path>: CXX_EXECUTABLE_LINKER__<name>_...";
# the fuzzers are those whose file name ends in _fuzz.
mapfile -t executables < <(ninja -C "$build" -t targets all |
  sed -n 's/^\([^:]*_fuzz\): CXX_EXECUTABLE_LINKER__.*$/\1/p' | sort -u)
if [[ -n "${FUZZ_TARGETS:-}" ]]; then
  chosen=()
  for path in "${executables[@]}"; do
    [[ " $FUZZ_TARGETS " == *" $(basename "$path") "* ]] && chosen+=("$path")
  done
  executables=("${chosen[@]}")
fi
targets=()
for path in "${executables[@]}"; do targets+=("$(basename "$path")"); done
if ((${#targets[@]} == 0)); then
  echo "fuzz: no target ending in _fuzz found" >&2
  exit 1
fi
ninja -C "$build" -j "$jobs" "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
failed=()
for path in "${executables[@]}"; do
  target=$(basename "$path")
  exe="$build/$path"
  corpus="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [[ -d "fuzz/corpus/$target" ]] && seeds=("fuzz/corpus/$target")
  echo "fuzz: running $target for ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}" >"$artifacts/log.txt" 2>&1; then
    failed+=("$target")
    tail -n 40 "$artifacts/log.txt" >&2
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$artifacts/log.txt" | sed "s/^/fuzz: $target /" || true
  # The coverage reached: the last status line's edges (cov) and features (ft).
  grep -E '^#[0-9]+.*cov: ' "$artifacts/log.txt" | tail -n 1 | sed "s/^/fuzz: $target /" || true
done

if ((${#failed[@]})); then
  echo "fuzz: FAILED: ${failed[*]} (inputs and logs under $build/fuzz-artifacts/)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} target(s) ran ${seconds}s each without a finding"
