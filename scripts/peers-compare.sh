#!/usr/bin/env bash
# Runs `colorcorrect apply` beside what a user would pick instead, on the
# same frames, and prints frames per second and ratios in one table, then
# how far the .cube route is from the exact look.
#
#   scripts/peers-compare.sh [FRAMES] [WIDTHxHEIGHT]   (default 60 frames, 1920x1080)
#
# The look is bench/all-stages.json (the benchmark suite's `all` case:
# luma, hue, saturation and channel curves, six vectors, 16 match vectors,
# soft legal clipping), exported with `colorcorrect lut --cube 33` and
# `--cube 65`. The frames are FFmpeg's testsrc2 pattern, made once in a
# temporary folder (in /dev/shm when there is one) as
#   rawvideo rgb24        for FFmpeg's lut3d filter (tetrahedral, its default)
#   one BMP per frame     for `colorcorrect apply` on RGB stills, one process
#                         per frame (start-up, reading the look, set-up and
#                         the BMP files included, as a user's loop would pay)
#   YUV4MPEG2 4:4:4       full range (the library's own YUV, tagged
#                         XCOLORRANGE=FULL) and 4:2:0 limited range, for
#                         `colorcorrect apply` on streams and for FFmpeg's
#                         closest chain of filters (scripts/ffmpeg-compare.sh:
#                         eq, hue and curves, which have no counterpart of
#                         the six- and match-vector stages: less work)
# Everything runs on one thread (ffmpeg -threads 1 -filter_threads 1,
# colorcorrect apply -j 1) and writes to a discarded pipe or /dev/shm; each
# run is repeated three times and the one with the least processor time
# counts, because a shared machine makes single runs noisy.
#
# Accuracy: FFmpeg's lut3d output against colorcorrect's exact result on the
# same RGB frames (the BMP stills corrected by `apply`), largest and mean
# absolute difference per channel over all frames, in 8-bit steps.
#
# Needs ffmpeg and python3-numpy (installed with apt-get when missing) and
# builds the tool in Release (build-release/).
set -euo pipefail
cd "$(dirname "$0")/.."

frames="${1:-60}"
size="${2:-1920x1080}"
width="${size%x*}"
height="${size#*x}"

# Debian's interpreter, which python3-numpy serves (another python3 may come
# first on PATH).
python=python3
if [[ -x /usr/bin/python3 ]]; then python=/usr/bin/python3; fi
missing=()
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
"$python" -c 'import numpy' 2>/dev/null || missing+=(python3-numpy)
if ((${#missing[@]})); then
  echo "installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCOLORCORRECT_BUILD_TESTS=OFF -DCOLORCORRECT_BUILD_TOOLS=ON \
  -DCOLORCORRECT_BUILD_PYTHON=OFF -DCOLORCORRECT_BUILD_GSTREAMER=OFF >/dev/null
cmake --build build-release --parallel --target colorcorrect_cli >/dev/null
tool="$PWD/build-release/bin/colorcorrect"
look="$PWD/bench/all-stages.json"

tmp_root="${TMPDIR:-/tmp}"
if [[ -d /dev/shm && -w /dev/shm ]]; then tmp_root=/dev/shm; fi
work="$(mktemp -d "$tmp_root/colorcorrect-peers.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# best_of COMMAND...: the run with the least processor time (user + system,
# all threads) of three, in best_cpu and its elapsed time in best_wall. The
# processor time is what the ratios use: it counts the work done and is far
# less disturbed than the elapsed time when other programs share the cores.
best_cpu=""
best_wall=""
best_of() {
  best_cpu=""
  for _ in 1 2 3; do
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
      echo "failed: $*" >&2
      cat "$work/stderr.txt" >&2
      exit 1
    }
    local wall cpu
    read -r wall cpu < <(tail -n 1 "$work/time.txt" | awk '{ print $1, $2 + $3 }')
    if [[ -z $best_cpu ]] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu="$cpu"
      best_wall="$wall"
    fi
  done
}

# One table row per contender, printed at the end with ratios against the
# two references.
labels=()
cpus=()
walls=()
run() {
  local label="$1"
  shift
  best_of "$@"
  labels+=("$label")
  cpus+=("$best_cpu")
  walls+=("$best_wall")
  printf '  measured %-48s %7.2f s processor, %7.2f s elapsed\n' "$label" "$best_cpu" "$best_wall" >&2
}

echo "making $frames frames of ${width}x${height} (testsrc2) and the .cube tables" >&2
src=(-f lavfi -i "testsrc2=size=${width}x${height}:rate=25" -frames:v "$frames")
ffmpeg -v error -y "${src[@]}" -pix_fmt rgb24 -f rawvideo "$work/in.rgb"
mkdir "$work/stills" "$work/out"
ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s "$size" -i "$work/in.rgb" -pix_fmt bgr24 "$work/stills/%04d.bmp"
# Made from the RGB frames, so every contender starts from the same pictures.
ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s "$size" -i "$work/in.rgb" \
  -vf scale=out_range=full:out_color_matrix=bt601 -pix_fmt yuvj444p -color_range pc -strict -1 \
  -f yuv4mpegpipe "$work/in444full.y4m"
ffmpeg -v error -y -f rawvideo -pix_fmt rgb24 -s "$size" -i "$work/in.rgb" \
  -vf scale=out_range=tv:out_color_matrix=bt601 -pix_fmt yuv420p -f yuv4mpegpipe "$work/in420.y4m"
for n in 33 65; do
  "$tool" lut -c "$look" --cube "$n" "$work/look$n.cube"
done

# FFmpeg's closest chain for the look's primary part (scripts/ffmpeg-compare.sh's
# curves look), without the vector stages.
curves="curves=r='0/0 0.5/0.479 1/1':g='0/0 0.5/0.533 1/1':b='0/0 0.5/0.561 1/1'"
chain="eq=gamma=1.5:saturation=1.34,hue=h=8.4,format=gbrp,$curves"

raw_in=(-f rawvideo -pix_fmt rgb24 -s "$size" -i "$work/in.rgb")
one_thread=(-threads 1 -filter_threads 1)

run "read only (cat rgb24)" cat "$work/in.rgb"
for n in 33 65; do
  run "ffmpeg lut3d $n points, rgb24" \
    ffmpeg -v error "${one_thread[@]}" "${raw_in[@]}" -vf "lut3d=file=$work/look$n.cube" \
    -threads 1 -f rawvideo -
done
run "ffmpeg closest chain, 4:4:4 (no vectors)" \
  ffmpeg -v error "${one_thread[@]}" -i "$work/in444full.y4m" -vf "$chain,format=yuvj444p" \
  -threads 1 -strict -1 -f yuv4mpegpipe -
run "ffmpeg closest chain, 4:2:0 (no vectors)" \
  ffmpeg -v error "${one_thread[@]}" -i "$work/in420.y4m" -vf "$chain,format=yuv420p" \
  -threads 1 -f yuv4mpegpipe -
# shellcheck disable=SC2016 # expanded by the inner shell
run "colorcorrect apply -j 1, RGB stills (BMP)" bash -c \
  'for f in "$1"/stills/*.bmp; do "$2" apply --no-progress -j 1 -c "$3" "$f" "$1/out/${f##*/}"; done' \
  _ "$work" "$tool" "$look"
run "colorcorrect apply -j 1, 4:4:4 full range" \
  "$tool" apply --no-progress -j 1 -c "$look" "$work/in444full.y4m" -
run "colorcorrect apply -j 1, 4:2:0 limited range" \
  "$tool" apply --no-progress -j 1 -c "$look" "$work/in420.y4m" -

lut_seconds="${cpus[1]}"
stills_seconds="${cpus[5]}"
echo
echo "$frames frames of ${width}x${height}, one thread each, least processor time of three runs"
echo "(fps = frames / processor seconds; x: fps against lut3d 33 points and against apply on RGB stills)"
printf '| %-46s | %9s | %9s | %8s | %10s | %11s |\n' "contender" "processor" "elapsed" "fps" "x lut3d 33" "x apply RGB"
printf '|%s|%s|%s|%s|%s|%s|\n' "$(printf -- '-%.0s' {1..48})" "----------:" "----------:" "---------:" "-----------:" "------------:"
for i in "${!labels[@]}"; do
  awk -v l="${labels[$i]}" -v s="${cpus[$i]}" -v w="${walls[$i]}" -v f="$frames" -v a="$lut_seconds" -v b="$stills_seconds" \
    'BEGIN { if (s <= 0) s = 0.005; printf "| %-46s | %7.2f s | %7.2f s | %8.1f | %10.2f | %11.2f |\n", l, s, w, f / s, a / s, b / s }'
done

echo
echo "accuracy of the .cube route (ffmpeg lut3d, tetrahedral) against colorcorrect apply on the RGB stills,"
echo "absolute difference in 8-bit steps over all $frames frames"
ffmpeg -v error -y -i "$work/out/%04d.bmp" -pix_fmt rgb24 -f rawvideo "$work/exact.rgb"
for n in 33 65; do
  ffmpeg -v error -y "${raw_in[@]}" -vf "lut3d=file=$work/look$n.cube" -f rawvideo "$work/lut$n.rgb"
done
"$python" - "$work" "$((width * height * 3))" <<'PY'
import sys
import numpy as np

work, frame_bytes = sys.argv[1], int(sys.argv[2])
exact = np.memmap(f"{work}/exact.rgb", dtype=np.uint8, mode="r")
print("| points | max R | max G | max B | mean R | mean G | mean B | pixels off by more than 2 |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
for n in (33, 65):
    got = np.memmap(f"{work}/lut{n}.rgb", dtype=np.uint8, mode="r")
    worst = np.zeros(3, dtype=np.int64)
    total = np.zeros(3, dtype=np.int64)
    off = 0
    # A frame at a time: the whole run would need gigabytes as wider integers.
    for at in range(0, exact.size, frame_bytes):
        a = exact[at:at + frame_bytes].reshape(-1, 3).astype(np.int16)
        b = got[at:at + frame_bytes].reshape(-1, 3).astype(np.int16)
        d = np.abs(b - a)
        worst = np.maximum(worst, d.max(axis=0))
        total += d.sum(axis=0)
        off += np.count_nonzero(d.max(axis=1) > 2)
    pixels = exact.size // 3
    mean = total / pixels
    print(f"| {n} | {worst[0]} | {worst[1]} | {worst[2]} | {mean[0]:.3f} | {mean[1]:.3f} | {mean[2]:.3f} | {100 * off / pixels:.2f} % |")
PY

echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load average $(cut -d' ' -f1-3 /proc/loadavg), $(date -u +%Y-%m-%d)"
