#!/usr/bin/env bash
# Runs `colorcorrect apply` beside the closest FFmpeg filter chain on the same
# frames and prints both speeds and their ratio.
#
#   scripts/ffmpeg-compare.sh [FRAMES] [WIDTHxHEIGHT]   (default 24 frames, 3840x2160)
#
# The frames are FFmpeg's testsrc2 pattern as YUV4MPEG2 4:4:4, made once in a
# temporary folder (in /dev/shm when there is one). The correction is a
# primary correction: luma gamma, hue, saturation and the three channel
# curves. FFmpeg's nearest equivalent is
#   format=gbrp,curves=...,format=yuv444p,hue=...,eq=...
# with its parameters matched to the correction's controls as far as the
# filters allow (the results are not expected to be equal: this compares the
# work, not the looks). Both programs read the same file and write a
# YUV4MPEG2 stream to /dev/null; FFmpeg runs single-threaded and with its
# default threads, colorcorrect with one worker thread (-j 1) and with one
# per core. Each run is repeated three times and the fastest counts, because
# a shared machine makes single runs noisy. The peak memory (maximum
# resident set) of each run is printed as well.
#
# Needs ffmpeg (installed with apt-get when missing) and builds the tool in
# Release (build-release/).
set -euo pipefail
cd "$(dirname "$0")/.."

frames="${1:-24}"
size="${2:-3840x2160}"
width="${size%x*}"
height="${size#*x}"

if ! command -v ffmpeg >/dev/null; then
  echo "installing ffmpeg"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends ffmpeg
fi

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCOLORCORRECT_BUILD_TESTS=OFF -DCOLORCORRECT_BUILD_TOOLS=ON -DCOLORCORRECT_BUILD_BENCH=OFF >/dev/null
cmake --build build-release --parallel --target colorcorrect_cli >/dev/null
tool="$PWD/build-release/bin/colorcorrect"

tmp_root="${TMPDIR:-/tmp}"
if [[ -d /dev/shm && -w /dev/shm ]]; then tmp_root=/dev/shm; fi
work="$(mktemp -d "$tmp_root/colorcorrect-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT

echo "frames: $frames of ${width}x${height}, YUV4MPEG2 4:4:4 (testsrc2)"
ffmpeg -v error -f lavfi -i "testsrc2=size=${width}x${height}:rate=25" \
  -frames:v "$frames" -pix_fmt yuv444p -f yuv4mpegpipe "$work/in.y4m"

# The correction: luma gamma 25 (exponent 1/1.5), hue 12 (8.4 degrees),
# saturation 40 (gain 1.34), red gamma -15, green gamma 5, blue gamma 10.
cat >"$work/look.json" <<'JSON'
{
  "format": "colorcorrect-correction",
  "version": 1,
  "flags": {"primary": true},
  "base": {"y_gamma": 25, "hue": 12, "sat": 40, "r_gamma": -15, "g_gamma": 5, "b_gamma": 10}
}
JSON
# The same in FFmpeg's terms: each channel curve through its mid-point
# 0.5^exponent, the hue turned and saturated, the luma gamma.
chain="format=gbrp,curves=r='0/0 0.5/0.479 1/1':g='0/0 0.5/0.533 1/1':b='0/0 0.5/0.561 1/1',format=yuv444p,hue=h=8.4:s=1.34,eq=gamma=1.5"

pixels=$((width * height * frames))

# best_of LABEL COMMAND...: the fastest of three runs, with its peak memory.
best_seconds=""
best_of() {
  local label="$1"
  shift
  local best="" rss=0
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
      echo "$label failed:" >&2
      cat "$work/stderr.txt" >&2
      exit 1
    }
    local out
    out="$(tail -n 1 "$work/time.txt")"
    local seconds="${out% *}" kb="${out#* }"
    if [[ -z $best ]] || awk -v a="$seconds" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best="$seconds"
    fi
    if ((kb > rss)); then rss=$kb; fi
  done
  best_seconds="$best"
  awk -v l="$label" -v s="$best" -v p="$pixels" -v m="$rss" \
    'BEGIN { printf "%-34s %8.2f s %9.1f Mpixel/s %8.1f MB peak\n", l, s, p / s / 1e6, m / 1024 }'
}

echo
best_of "read and write only (cat)" cat "$work/in.y4m"
best_of "ffmpeg, single-threaded" \
  ffmpeg -v error -threads 1 -filter_threads 1 -i "$work/in.y4m" -vf "$chain" \
  -threads 1 -f yuv4mpegpipe -
ffmpeg_single="$best_seconds"
best_of "ffmpeg, default threads" \
  ffmpeg -v error -i "$work/in.y4m" -vf "$chain" -f yuv4mpegpipe -
ffmpeg_default="$best_seconds"
best_of "colorcorrect apply -j 1" \
  "$tool" apply --no-progress -j 1 -c "$work/look.json" "$work/in.y4m" -
ours_single="$best_seconds"
best_of "colorcorrect apply (all cores)" \
  "$tool" apply --no-progress -c "$work/look.json" "$work/in.y4m" -
ours_default="$best_seconds"

echo
awk -v a="$ffmpeg_single" -v b="$ours_single" \
  'BEGIN { printf "one thread:   colorcorrect is %.2f times as fast as ffmpeg\n", a / b }'
awk -v a="$ffmpeg_default" -v b="$ours_default" \
  'BEGIN { printf "all threads:  colorcorrect is %.2f times as fast as ffmpeg\n", a / b }'
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(date -u +%Y-%m-%d)"
