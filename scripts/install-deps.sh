#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need,
# only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev llvm
  libcli11-dev nlohmann-json3-dev libpng-dev libturbojpeg0-dev
  ffmpeg libopencolorio-dev
  libcpp-httplib-dev chromium
  pybind11-dev python3-dev python3-numpy python3-pytest python3-distributed
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Node.js may come from elsewhere than Debian with its own npm (which then
# conflicts with Debian's npm package): only a machine without npm gets
# Debian's.
if ! command -v npm >/dev/null; then
  missing+=(nodejs npm)
fi

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The browser tests of `colorcorrect serve` drive Chromium with playwright-core
# (tests/serve/package.json); install the locked version when it is missing.
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [[ -f "$repo/tests/serve/package-lock.json" && ! -d "$repo/tests/serve/node_modules/playwright-core" ]]; then
  echo "installing playwright-core for tests/serve"
  (cd "$repo/tests/serve" && npm ci --no-audit --no-fund)
fi
