#!/bin/bash
# Faults from outside while the colorcorrect tool writes its outputs: a full
# device, a read-only folder, a file-size limit, SIGKILL part-way through a
# stream, too little address space for a 4K picture. After each failure the
# tool must have said what went wrong on one line and exited with 1, the file
# that was there before must be intact and no temporary may be left.
#   COLORCORRECT_CLI   the tool under test
#   CC_SANITIZE        the sanitizer build (ulimit -v cannot be used under one)
set -u
cc=${COLORCORRECT_CLI:?set COLORCORRECT_CLI to the tool}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
cd "$work" || exit 1

passed=0 failed=0 skipped=0
ok() { passed=$((passed + 1)); }
bad() { echo "FAIL: $*"; failed=$((failed + 1)); }
skip() { echo "SKIP: $*"; skipped=$((skipped + 1)); }

# Inputs: the demo's picture and correction, and a 40-frame 4:4:4 stream.
"$cc" demo -o demo >/dev/null || { echo "the demo failed"; exit 1; }
cp demo/source.png source.png
cp demo/correction.json look.json
head -c $((64 * 48 * 3)) /dev/zero >frame
stream_header='YUV4MPEG2 W64 H48 F25:1 Ip A1:1 C444\n'
{ printf "$stream_header"; for _ in $(seq 40); do printf 'FRAME\n'; cat frame; done; } >in.y4m

# name | target file | command, @OUT@ standing for the output. Every output
# is above 1 KiB, the file-size limit below.
cases=(
    "picture|out.png|apply -c look.json source.png @OUT@ --format png"
    "stream|out.y4m|apply -c look.json in.y4m @OUT@"
    "cube|out.cube|lut -c look.json --cube 17 @OUT@"
    "rt package|out.rt|lut -c look.json --rt @OUT@"
    "correction|out.json|convert look.json @OUT@ --to json"
    "scope|scope.png|scope waveform -c look.json source.png -o @OUT@"
    "auto|auto.json|auto gray -s source.png -c look.json -o @OUT@ 10,10"
)

# run [PREFIX...] -- TEMPLATE OUT: runs the tool, stderr in ./err, exit code in $rc.
run() {
    local prefix=()
    while [ "$1" != -- ]; do prefix+=("$1"); shift; done
    local args
    read -r -a args <<<"${2//@OUT@/$3}"
    "${prefix[@]}" "$cc" "${args[@]}" 2>err </dev/null >/dev/null
    rc=$?
}

# expect_refusal CASE DIR FILE MESSAGE: exit 1, one line naming MESSAGE, the old
# file unchanged, no temporary in DIR.
expect_refusal() {
    local what=$1 dir=$2 file=$3 message=$4
    [ "$rc" -eq 1 ] || bad "$what: exit code $rc, not 1 ($(cat err))"
    { [ "$(wc -l <err)" -eq 1 ] && grep -q -- "$message" err; } || bad "$what: message '$(cat err)' lacks '$message'"
    if [ -n "$file" ]; then
        cmp -s old "$dir/$file" || bad "$what: the old $file was changed"
    fi
    local left
    left=$(find "$dir" -maxdepth 1 -name '.*partial*')
    [ -z "$left" ] || bad "$what: temporary left: $left"
    [ "$rc" -eq 1 ] && ok
}

fresh() { rm -rf "$1"; mkdir "$1"; printf 'old file\n' >old; cp old "$1/$2"; }

# Running as root, permissions do not stop writes: run as nobody then.
as_writer=()
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
    as_writer=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    # nobody must be able to reach the tool and the inputs.
    "${as_writer[@]}" "$cc" info look.json >/dev/null 2>&1 || as_writer=()
fi

for entry in "${cases[@]}"; do
    IFS='|' read -r name file template <<<"$entry"

    # Without a fault, over an older file and a temporary a killed run left.
    fresh ok "$file"
    printf 'stale' >"ok/.$file.partial"
    run -- "$template" "ok/$file"
    if [ "$rc" -ne 0 ] || cmp -s old "ok/$file" || [ -n "$(find ok -maxdepth 1 -name '.*partial*')" ]; then
        bad "$name: plain write: exit $rc, $(ls -A ok | tr '\n' ' ')$(cat err)"
    else
        ok
    fi
    cp "ok/$file" "ref-$file"

    # A second run writing the same target (holding its temporary's lock).
    fresh busy "$file"
    if ! command -v flock >/dev/null; then
        skip "$name beside a running write: no flock"
    elif run flock "busy/.$file.partial" -- "$template" "busy/$file"
        [ "$rc" -ne 0 ] || ! cmp -s "ok/$file" "busy/$file" || [ "$(ls -A busy | wc -l)" -ne 2 ]; then
        bad "$name: beside a running write: exit $rc, $(ls -A busy | tr '\n' ' ')$(cat err)"
    else
        ok
    fi

    run -- "$template" /dev/full
    expect_refusal "$name to /dev/full" . "" "No space left on device"

    fresh limit "$file"
    run bash -c 'ulimit -f 1 && exec "$@"' limit -- "$template" "limit/$file"
    expect_refusal "$name past ulimit -f" limit "$file" "File too large"

    fresh ro "$file"
    chmod 555 ro
    if "${as_writer[@]}" touch ro/probe 2>/dev/null; then
        rm -f ro/probe
        skip "$name into a read-only folder: permissions do not stop root (no setpriv, or nobody cannot run the tool)"
    else
        run "${as_writer[@]}" -- "$template" "ro/$file"
        expect_refusal "$name into a read-only folder" ro "$file" "Permission denied"
    fi
    chmod 755 ro
done

# A temporary's name taken by a folder: the write goes round it.
mkdir -p odd/.out.json.partial
"$cc" convert look.json odd/out.json --to json 2>err
[ $? -eq 0 ] && cmp -s ref-out.json odd/out.json && [ "$(ls -A odd | tr '\n' ' ')" = ".out.json.partial out.json " ] &&
    ok || bad "a folder in the temporary's place: $(ls -A odd | tr '\n' ' ')$(cat err)"

# SIGKILL part-way through a stream that never ends: the target stays the old
# file; the temporary the killed run leaves is taken over by the next run.
fresh kill out.y4m
"$cc" apply -c look.json - kill/out.y4m --no-progress 2>err >/dev/null \
    < <(printf "$stream_header"; while :; do printf 'FRAME\n'; cat frame; done) &
pid=$!
for _ in $(seq 600); do
    [ "$(stat -c %s kill/.out.y4m.partial 2>/dev/null || echo 0)" -gt 1000000 ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if [ "$(stat -c %s kill/.out.y4m.partial 2>/dev/null || echo 0)" -le 1000000 ]; then
    bad "SIGKILL: the stream's temporary never grew past 1 MB ($(cat err))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
else
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    cmp -s old kill/out.y4m && ok || bad "SIGKILL: the old out.y4m was changed"
    "$cc" apply -c look.json in.y4m kill/out.y4m 2>err
    if [ $? -ne 0 ] || ! cmp -s ref-out.y4m kill/out.y4m; then
        bad "SIGKILL: the next run did not write the stream ($(cat err))"
    elif [ "$(ls -A kill)" != out.y4m ]; then
        bad "SIGKILL: left after the next run: $(ls -A kill | tr '\n' ' ')"
    else
        ok
    fi
fi

# Too little address space for a 4K picture (about 100 MB at its peak): a
# refusal, not a crash; a small picture still goes through under the same limit.
if [ -n "${CC_SANITIZE:-}" ]; then
    skip "4K picture under ulimit -v: the $CC_SANITIZE sanitizer reserves more address space than any limit"
else
    row=$((3840 * 3))
    le32() { printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
    { printf BM; le32 $((54 + row * 2160)); le32 0; le32 54; le32 40; le32 3840; le32 2160
      printf '\x01\x00\x18\x00'; le32 0; le32 $((row * 2160)); le32 2835; le32 2835; le32 0; le32 0
      head -c $((row * 2160)) /dev/zero; } >4k.bmp
    fresh mem out.png
    run bash -c 'ulimit -v 80000 && exec "$@"' limit -- "apply -c look.json 4k.bmp @OUT@" mem/out.png
    expect_refusal "4K picture under ulimit -v" mem out.png "not enough memory"
    run bash -c 'ulimit -v 80000 && exec "$@"' limit -- "apply -c look.json source.png @OUT@" mem/small.png
    [ "$rc" -eq 0 ] && cmp -s ref-out.png mem/small.png && ok || bad "a small picture under ulimit -v: exit $rc $(cat err)"
fi

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
