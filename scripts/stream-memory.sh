#!/usr/bin/env bash
# Peak resident memory of `colorcorrect apply` correcting a 3840x2160 4:2:0
# stream of COUNT frames (ffmpeg's testsrc2 pattern) on its way from a pipe to
# OUT. Run it for two counts: the peaks should match, whatever the length.
# The pattern's first 25 frames are rendered once (311 MB in a temporary
# folder) and looped: ffmpeg draws the pattern at 4K at only a few frames a
# second, so rendering every frame would time ffmpeg rather than the tool.
#   scripts/stream-memory.sh COUNT [LOOK] [OUT]
# LOOK: the correction (default tests/golden/look.json). OUT: where the
# corrected stream goes (default /dev/null; a file needs 12.4 MB a frame).
# Prints "frames COUNT peak_rss_kb N seconds S". The tool is
# $COLORCORRECT_CLI or build/bin/colorcorrect.
set -euo pipefail
cd "$(dirname "$0")/.."

count=${1:?usage: scripts/stream-memory.sh COUNT [LOOK] [OUT]}
look=${2:-tests/golden/look.json}
out=${3:-/dev/null}
cc=${COLORCORRECT_CLI:-build/bin/colorcorrect}
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed (scripts/install-deps.sh)" >&2; exit 2; }
[ -x "$cc" ] || { echo "no tool at $cc (build it, or set COLORCORRECT_CLI)" >&2; exit 2; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=3840x2160:rate=25 -frames:v 25 \
    -pix_fmt yuv420p -f yuv4mpegpipe "$tmp/pattern.y4m"
frames() {
    ffmpeg -nostdin -loglevel error -stream_loop -1 -i "$tmp/pattern.y4m" -frames:v "$count" \
        -f yuv4mpegpipe -
}
start=$(date +%s.%N)
if [ -x /usr/bin/time ]; then
    frames | /usr/bin/time -v -o "$tmp/time" "$cc" apply -c "$look" - "$out" --no-progress
    peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$tmp/time")
else
    # No time(1): the kernel's own high-water mark, read until the tool ends.
    mkfifo "$tmp/frames"
    frames >"$tmp/frames" &
    "$cc" apply -c "$look" - "$out" --no-progress <"$tmp/frames" &
    pid=$!
    peak=0
    while kill -0 "$pid" 2>/dev/null; do
        hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
        [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
        sleep 0.2
    done
    wait "$pid"
fi
end=$(date +%s.%N)
awk -v c="$count" -v p="$peak" -v s="$start" -v e="$end" 'BEGIN { printf "frames %d peak_rss_kb %d seconds %.1f\n", c, p, e - s }'
