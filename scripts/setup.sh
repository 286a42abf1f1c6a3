#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the project builds and tests with, and the browser-test tools
# pinned in package-lock.json. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev lld
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libedf-dev libmatio-dev libkissfft-dev
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev pkgconf
  # The Python module and its tests: pybind11, Debian's Python with numpy and pandas, pytest,
  # and Dask's distributed scheduler for cohorts on a cluster.
  pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest python3-distributed
  # The plot engine's tests: Node and Debian's Chromium for the browser tests.
  nodejs chromium fonts-dejavu-core
)
command -v npm > /dev/null || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
npm ci --no-audit --no-fund --loglevel=error
echo "setup: all build and test dependencies are installed"
