#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every test: the optimised build (unit tests, contract checks on real
# recordings, the Python module's tests), then the unit tests again under AddressSanitizer
# and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# Optimised, without debug information, which would lengthen the build. Both builds compile
# each target's files in batches (a unity build): the headers every file includes (the
# standard library, Boost, JSON, HTTP, GoogleTest) are then parsed once a batch instead of
# once a file, which halves the compile time. It also makes two files of one target that
# define the same file-local name collide: rename one (or share the one definition).
# Both link with LLVM's linker, which links the test executables in about half the time of
# the default one.
lld=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_SHARED_LINKER_FLAGS=-fuse-ld=lld -DCMAKE_MODULE_LINKER_FLAGS=-fuse-ld=lld)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DHRV_WERROR=ON \
  -DCMAKE_UNITY_BUILD=ON "${lld[@]}"
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The Python module and the cohort runs (batch, Dask) with Debian's interpreter, against the
# build above.
HRV_BUILD_DIR=build /usr/bin/python3 -m pytest -q tests/python

# The plot engine: its markup compiler on the views' markups, and the plot pages and the
# local web interface in headless Chromium (skipped, saying so, where Chromium is absent).
# These tests mostly wait on the page (one plays a recording live at 50 times its rate), so
# they run beside the sanitizer build below, which yields the processors to them; their
# report follows at the end.
HRV_BUILD_DIR=build node --test tests/web/ > build/web-tests.log 2>&1 &
web=$!
trap 'kill "$web" 2> /dev/null || true' EXIT

# The unit tests again under the sanitizers: unoptimised, which halves their compile time,
# with line tables for the stack traces. The whole-system tests ran above; under the
# sanitizers they would only repeat the same code at a higher cost. Each test executable runs
# once with all its cases: a sanitized process is slow to start, and ctest would start one
# per case.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -g1" \
  -DHRV_SANITIZE=address,undefined -DHRV_BUILD_BENCH=OFF -DHRV_BUILD_END_TO_END=OFF -DHRV_WERROR=ON -DCMAKE_UNITY_BUILD=ON \
  -DHRV_TEST_EACH_CASE=OFF "${lld[@]}"
nice -n 10 cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L unit

web_status=0
wait "$web" || web_status=$?
cat build/web-tests.log
exit "$web_status"
