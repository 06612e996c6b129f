#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: corrects the
# built-in colour-bar picture with a sample correction and writes the
# source, the corrected picture, the viewer's preview and every scope display
# into out/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel
build/bin/colorcorrect demo -o "${1:-out}"
