#!/usr/bin/env bash
# Builds the library and the benchmark suite in Release (build-release/) and
# runs the suite: every case beside memcpy of the same frame and the
# reference loop, five repetitions, medians.
#   scripts/bench.sh                  the whole suite (several minutes)
#   scripts/bench.sh REGEX [ARGS...]  only the cases whose name matches REGEX,
#                                     e.g. 'Process/primary/|Memcpy'; further
#                                     arguments go to the benchmark program
#                                     (--help lists them)
# Figures from a shared or busy machine are noisy: read them as ratios to the
# Memcpy and Reference lines of the same run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCOLORCORRECT_BUILD_TESTS=OFF -DCOLORCORRECT_BUILD_TOOLS=OFF -DCOLORCORRECT_BUILD_BENCH=ON
cmake --build build-release --parallel --target colorcorrect_bench

filter="${1:-.}"
if (($#)); then shift; fi
exec build-release/bin/colorcorrect_bench \
  --benchmark_filter="$filter" \
  --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.3 \
  "$@"
