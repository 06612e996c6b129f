#!/usr/bin/env bash
# Installs what is missing, builds the tool, and runs the main job: corrects the
# built-in colour-bar picture with a sample correction and writes the
# source, the corrected picture, the viewer's preview and every scope display
# into out/ (or the folder given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only the tool and the resource pictures it shows: the tests and benchmarks
# are scripts/test.sh's to build (the options stay as they are, since that
# script shares this build folder).
cmake --build build --parallel --target colorcorrect_cli colorcorrect_resources
build/bin/colorcorrect demo -o "${1:-out}"
