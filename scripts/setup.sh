#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages the project builds with. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libboost-dev libedf-dev libmatio-dev libkissfft-dev
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
)
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
echo "setup: all build dependencies are installed"

# The plot engine's tests: Node with its package manager, Debian's Chromium for the browser
# tests, and the test tools pinned in package-lock.json.
web_packages=(nodejs chromium fonts-dejavu-core)
command -v npm > /dev/null || web_packages+=(npm)
web_missing=()
for p in "${web_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || web_missing+=("$p")
done
if ((${#web_missing[@]})); then
  sudo=""
  [[ $(id -u) -ne 0 ]] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${web_missing[@]}"
fi
(cd "$(dirname "$0")/.." && npm ci --no-audit --no-fund --loglevel=error)
echo "setup: the web test tools are installed"
