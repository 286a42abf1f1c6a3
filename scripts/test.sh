#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds and runs every test: the optimised build (unit tests, contract checks on real
# recordings), then the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

# Optimised without debug information, which would cost a quarter of the build time.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# Line tables are enough for the sanitizers' stack traces.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" \
  -DHRV_SANITIZE=address,undefined -DHRV_BUILD_BENCH=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -L unit
