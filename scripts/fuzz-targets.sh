# shellcheck shell=bash
# Sourced by the fuzz scripts: sets the array `targets` to the names in
# $FUZZ_TARGETS, or else to every target of fuzz/ (fuzz/NAME_fuzzer.cpp).
if [[ -n "${FUZZ_TARGETS:-}" ]]; then
  read -r -a targets <<<"$FUZZ_TARGETS"
else
  targets=()
  for src in fuzz/*_fuzzer.cpp; do
    name="$(basename "$src" .cpp)"
    targets+=("${name%_fuzzer}")
  done
fi
