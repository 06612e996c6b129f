#!/usr/bin/env bash
# Line coverage of the fuzz targets' committed corpora: builds the targets with
# clang's source-based coverage (no sanitizers) in build-fuzz-coverage, replays
# each target's corpus fuzz/corpus/<target>/ once (every input run once, as
# libFuzzer's -runs=0 over the folder does), merges the profiles with
# llvm-profdata and prints, per target, the line coverage of the source files
# that target is about.
#   scripts/fuzz-coverage.sh                 every target
#   FUZZ_TARGETS="bmp_load y4m_reader" scripts/fuzz-coverage.sh
# The per-file reports stay in build-fuzz-coverage/coverage/<target>.txt.
#
# The targets are the replay programs of an ordinary build (fuzz/support/
# replay_main.cpp instead of libFuzzer's driver), so the figures count the
# library's lines alone.
set -euo pipefail
cd "$(dirname "$0")/.."

# The files each target is about, relative to the repository.
declare -A files=(
  [bmp_load]="src/colorcorrect/host/bmp_codec.cpp"
  [correction_file]="src/formats/colorcorrect/formats/correction_file.cpp"
  [y4m_reader]="src/formats/colorcorrect/formats/y4m.cpp"
  [image_decode]="src/formats/colorcorrect/formats/png_codec.cpp src/formats/colorcorrect/formats/jpeg_codec.cpp"
  [serve_request]="tools/colorcorrect/serve/serve_request.cpp"
  [picture_ops]="src/colorcorrect/host/vora_dib.cpp src/colorcorrect/host/dib_draw.cpp"
  [filter_process]="src/colorcorrect/engine/base_color_correction_filter.cpp src/colorcorrect/engine/fast_process.cpp src/colorcorrect/engine/frame_processing.cpp"
  [rt_display]="src/colorcorrect/display/rt_display.cpp"
  [scope_display]="src/colorcorrect/display/scope_display.cpp src/colorcorrect/display/scope_drawing.cpp"
  [viewer]="src/colorcorrect/viewer/color_correction_viewer.cpp"
)

find_tool() { # llvm-profdata or llvm-cov, plain or with clang's version
  local v
  v="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)"
  for name in "$1-$v" "$1"; do
    if command -v "$name" >/dev/null; then
      echo "$name"
      return
    fi
  done
  echo "fuzz-coverage: $1 not found (Debian: llvm; scripts/install-deps.sh installs it)" >&2
  exit 1
}
profdata="$(find_tool llvm-profdata)"
llvmcov="$(find_tool llvm-cov)"

dir=build-fuzz-coverage
flags="-fprofile-instr-generate -fcoverage-mapping"
# shellcheck disable=SC2086
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
  -DCOLORCORRECT_BUILD_TESTS=ON -DCOLORCORRECT_BUILD_TOOLS=OFF -DCOLORCORRECT_BUILD_BENCH=OFF \
  ${COLORCORRECT_FUZZ_CMAKE_ARGS:-} >/dev/null

source scripts/fuzz-targets.sh
build=()
for t in "${targets[@]}"; do build+=("${t}_fuzzer"); done
cmake --build "$dir" --parallel 2 --target "${build[@]}"

out="$dir/coverage"
rm -rf "$out"
mkdir -p "$out"
library="$(ls "$dir"/bin/libcolorcorrect.so* 2>/dev/null | head -n 1 || true)"
printf '%-16s %7s %8s  %s\n' target lines covered files
for t in "${targets[@]}"; do
  bin="$dir/bin/${t}_fuzzer"
  LLVM_PROFILE_FILE="$out/$t-%p.profraw" "$bin" "fuzz/corpus/$t" >/dev/null 2>&1
  "$profdata" merge -sparse "$out/$t"-*.profraw -o "$out/$t.profdata"
  objects=("$bin")
  if [[ -n "$library" ]]; then objects+=(-object "$library"); fi
  "$llvmcov" report "${objects[@]}" -instr-profile="$out/$t.profdata" >"$out/$t.txt"
  # The rows of the target's files (their names as the compiler recorded
  # them, relative or not): lines and missed lines, summed.
  read -r lines missed < <(awk -v want="${files[$t]:-}" '
    BEGIN { n = split(want, f, " ") }
    { for (i = 1; i <= n; ++i) if ($1 == f[i] || substr($1, length($1) - length(f[i])) == "/" f[i]) { l += $8; m += $9 } }
    END { print l + 0, m + 0 }' "$out/$t.txt")
  if [[ "$lines" -gt 0 ]]; then
    cover="$(awk -v l="$lines" -v m="$missed" 'BEGIN { printf "%.1f%%", 100 * (l - m) / l }')"
  else
    cover="-"
  fi
  printf '%-16s %7s %8s  %s\n' "$t" "$lines" "$cover" "${files[$t]:-}"
done
