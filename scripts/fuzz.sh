#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (library and targets under
# AddressSanitizer + UBSan), replays the committed seed corpora and fuzzes each
# target for a while. Fails on any crash, failed check, leak, timeout or
# sanitizer report.
#   scripts/fuzz.sh            the same as smoke
#   scripts/fuzz.sh smoke      20 seconds per target (what CI runs: the build
#                              and all ten targets in about six minutes on two
#                              cores)
#   scripts/fuzz.sh SECONDS    SECONDS per target (1800: a half-hour run each)
# FUZZ_TARGETS="bmp_load picture_ops" limits a run to those targets;
# FUZZ_JOBS=N fuzzes N targets at once.
#
# The committed seeds (fuzz/corpus/<target>/, committed seeds and regression inputs; replayed in every build as the fuzz-replay tests) are
# only read. New inputs go to fuzz/corpus-work/<target>/ (git-ignored, kept
# between runs), failing inputs to fuzz/corpus-work/artifacts/<target>/ and
# each target's log to fuzz/corpus-work/logs/<target>.log. Replay a failing
# input with: build-fuzz/bin/<target>_fuzzer <file>
set -euo pipefail
cd "$(dirname "$0")/.."

mode="${1:-smoke}"
case "$mode" in
  smoke) seconds=20 ;;
  ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [smoke|SECONDS]" >&2; exit 2 ;;
  *) seconds="$mode" ;;
esac

scripts/install-deps.sh

dir=build-fuzz
# Extra configure arguments may come from COLORCORRECT_FUZZ_CMAKE_ARGS.
# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCOLORCORRECT_FUZZ=ON -DCOLORCORRECT_BUILD_TESTS=OFF -DCOLORCORRECT_BUILD_TOOLS=OFF \
  -DCOLORCORRECT_BUILD_BENCH=OFF ${COLORCORRECT_FUZZ_CMAKE_ARGS:-}
cmake --build "$dir" --parallel 2

source scripts/fuzz-targets.sh

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

work=fuzz/corpus-work
mkdir -p "$work/logs"

# One target: replay its seeds, then fuzz it. Prints one line; the exit status
# says whether it passed.
fuzz_one() {
  local t="$1" bin="$dir/bin/${1}_fuzzer" seeds="fuzz/corpus/$1" log="$work/logs/$1.log" status=0 runs
  if [[ ! -x "$bin" ]]; then
    echo "fuzz $t: no $bin (does the top-level CMakeLists.txt add fuzz/?)" >&2
    return 1
  fi
  mkdir -p "$work/$t" "$work/artifacts/$t"
  : >"$log"
  # Replay: every committed seed once, as a plain input.
  if compgen -G "$seeds/*" >/dev/null; then
    "$bin" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/$t/" \
      "$seeds"/* >>"$log" 2>&1 || status=$?
  fi
  # Fuzz: new inputs land in the scratch corpus, the seeds are only read.
  if [[ $status -eq 0 ]]; then
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$t/" "$work/$t" "$seeds" >>"$log" 2>&1 || status=$?
  fi
  if [[ $status -eq 0 ]]; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    echo "fuzz $t: ok, ${runs:-?} runs in ${seconds} s ($(( ${runs:-0} / seconds )) a second)"
    return 0
  fi
  echo "fuzz $t: FAILED (exit $status); the end of $log:" >&2
  tail -n 60 "$log" >&2
  return 1
}

# FUZZ_JOBS targets fuzz at once (default 1). With more jobs than cores each
# target gets a share of a core for its time, and makes fewer runs.
jobs="${FUZZ_JOBS:-1}"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "FUZZ_JOBS must be a positive number" >&2; exit 2; }
passed=0
failed=0
running=0
settle() { # waits for one running target and counts its outcome
  if wait -n; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  running=$((running - 1))
}
for t in "${targets[@]}"; do
  [[ $running -lt $jobs ]] || settle
  fuzz_one "$t" &
  running=$((running + 1))
done
while [[ $running -gt 0 ]]; do settle; done

echo "fuzz: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
