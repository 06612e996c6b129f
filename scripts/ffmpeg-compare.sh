#!/usr/bin/env bash
# Runs `colorcorrect apply` beside the closest FFmpeg filter chain on the same
# stream and prints both speeds, their ratio and the goals.
#
#   scripts/ffmpeg-compare.sh [FRAMES] [WIDTHxHEIGHT]   (default 120 frames, 1920x1080)
#
# The frames are FFmpeg's testsrc2 pattern as YUV4MPEG2, 4:2:0 and 4:4:4,
# made once in a temporary folder (in /dev/shm when there is one); like most
# of FFmpeg's output they are untagged limited-range BT.601, which the tool
# converts to its own YUV and back. Two looks:
#   plain   luma gamma, hue, saturation;   FFmpeg: eq=gamma:saturation,hue
#   curves  the same and three channel curves;
#           FFmpeg: eq,hue,format=gbrp,curves,format=<the stream's>
# with FFmpeg's parameters matched to the correction's controls as far as the
# filters allow (the results are not expected to be equal: this compares the
# work, not the looks). Both programs read the same file and write a
# YUV4MPEG2 stream to standard output (discarded); FFmpeg runs with one
# thread, colorcorrect with one and two workers (-j 1, -j 2). Each run is
# repeated three times and the fastest counts, because a shared machine
# makes single runs noisy. The peak memory (maximum resident set) of each
# run is printed as well. The goals: -j 1 at least 1.5 times FFmpeg with
# the plain look and 3 times with curves; -j 2 at least 1.8 times -j 1.
#
# Needs ffmpeg (installed with apt-get when missing) and builds the tool in
# Release (build-release/).
set -euo pipefail
cd "$(dirname "$0")/.."

frames="${1:-120}"
size="${2:-1920x1080}"
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
  -DCOLORCORRECT_BUILD_TESTS=OFF -DCOLORCORRECT_BUILD_TOOLS=ON -DCOLORCORRECT_BUILD_BENCH=OFF \
  -DCOLORCORRECT_BUILD_PYTHON=OFF >/dev/null
cmake --build build-release --parallel --target colorcorrect_cli >/dev/null
tool="$PWD/build-release/bin/colorcorrect"

tmp_root="${TMPDIR:-/tmp}"
if [[ -d /dev/shm && -w /dev/shm ]]; then tmp_root=/dev/shm; fi
work="$(mktemp -d "$tmp_root/colorcorrect-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# The looks: luma gamma 25 (exponent 1/1.5), hue 12 (8.4 degrees),
# saturation 40 (gain 1.34); with curves also red gamma -15, green gamma 5,
# blue gamma 10.
cat >"$work/plain.json" <<'JSON'
{"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true},
 "base": {"y_gamma": 25, "hue": 12, "sat": 40}}
JSON
cat >"$work/curves.json" <<'JSON'
{"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true},
 "base": {"y_gamma": 25, "hue": 12, "sat": 40, "r_gamma": -15, "g_gamma": 5, "b_gamma": 10}}
JSON
# The same in FFmpeg's terms: each channel curve through its mid-point
# 0.5^exponent.
plain_chain="eq=gamma=1.5:saturation=1.34,hue=h=8.4"
curves="curves=r='0/0 0.5/0.479 1/1':g='0/0 0.5/0.533 1/1':b='0/0 0.5/0.561 1/1'"

# best_of LABEL COMMAND...: the fastest of three runs (in best_seconds),
# printed with its frame rate and peak memory.
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
  awk -v l="$label" -v s="$best" -v f="$frames" -v m="$rss" \
    'BEGIN { printf "  %-40s %7.2f s %8.1f fps %8.1f MB peak\n", l, s, f / s, m / 1024 }'
}

# ratio TEXT A B GOAL: prints A / B against the goal.
ratio() {
  awk -v t="$1" -v a="$2" -v b="$3" -v g="$4" \
    'BEGIN { r = a / b; printf "  %-40s %7.2f  (goal %.1f: %s)\n", t, r, g, ((r >= g) ? "met" : "not met") }'
}

echo "frames: $frames of ${width}x${height}, YUV4MPEG2 (testsrc2), untagged limited-range BT.601"
for chroma in 420 444; do
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=${width}x${height}:rate=25" \
    -frames:v "$frames" -pix_fmt "yuv${chroma}p" -f yuv4mpegpipe "$work/in.y4m"
  for look in plain curves; do
    chain="$plain_chain"
    if [[ $look == curves ]]; then chain="$plain_chain,format=gbrp,$curves,format=yuv${chroma}p"; fi
    echo
    echo "${chroma:0:1}:${chroma:1:1}:${chroma:2:1} $look"
    best_of "read and write only (cat)" cat "$work/in.y4m"
    best_of "ffmpeg -threads 1" \
      ffmpeg -v error -threads 1 -filter_threads 1 -i "$work/in.y4m" -vf "$chain" -threads 1 -f yuv4mpegpipe -
    ffmpeg_single="$best_seconds"
    best_of "colorcorrect apply -j 1" "$tool" apply --no-progress -j 1 -c "$work/$look.json" "$work/in.y4m" -
    ours_single="$best_seconds"
    best_of "colorcorrect apply -j 2" "$tool" apply --no-progress -j 2 -c "$work/$look.json" "$work/in.y4m" -
    ours_double="$best_seconds"
    ratio "-j 1 against ffmpeg" "$ffmpeg_single" "$ours_single" "$([[ $look == plain ]] && echo 1.5 || echo 3)"
    ratio "-j 2 against -j 1" "$ours_single" "$ours_double" 1.8
  done
done
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(date -u +%Y-%m-%d)"
