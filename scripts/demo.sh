#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the tool and the HRV extension and analyses the built-in demo recording.
# Extra arguments go to `korvel-hrv demo` (e.g. --species mouse, --out DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" > /dev/null
cmake --build build -j "$(nproc)" --target korvel-hrv hrv
./build/apps/korvel-hrv demo --out out/demo "$@"
