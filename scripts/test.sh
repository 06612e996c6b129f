#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite.
#   scripts/test.sh                 the plain build in build/
#   scripts/test.sh address         again under AddressSanitizer + UBSan (build-asan/)
#   scripts/test.sh thread          the threaded tests under ThreadSanitizer (build-tsan/)
# The golden outputs of the tool run a second time with
# COLORCORRECT_REFERENCE_LOOP=1 (every correction on the reference loop), and
# the fuzz corpora are replayed (labels golden, reference, fuzz-replay).
# Fails when any test fails or a sanitizer reports anything.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

sanitize="${1:-}"
case "$sanitize" in
  "")      dir=build ;;
  address) dir=build-asan ;;
  thread)  dir=build-tsan ;;
  *) echo "usage: scripts/test.sh [address|thread]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCOLORCORRECT_SANITIZE="$sanitize" \
  -DCOLORCORRECT_BUILD_BENCH=$([[ -z $sanitize ]] && echo ON || echo OFF)
cmake --build "$dir" --parallel

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"

ctest_args=(--test-dir "$dir" --output-on-failure --parallel 2 --timeout 900)
if [[ $sanitize == thread ]]; then
  # Only the tests that run threads: host threads and events, the viewer's
  # worker, the thread pool.
  ctest_args+=(-L "threads")
fi
ctest "${ctest_args[@]}"
