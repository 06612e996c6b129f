#!/bin/bash
# Golden tests of the colorcorrect tool.
#   run.sh FEATURE...            run each feature's commands, compare the outputs
#   run.sh --update FEATURE|all  write the outputs as the new expected files
# A feature is a folder here with a 'commands' file (one shell line each, run in
# a fresh temporary folder holding a copy of its in/ folder; 'colorcorrect' is
# the tool under test, $COLORCORRECT_CLI or build/bin/colorcorrect) and the
# expected/ folder: every file the commands write, compared byte for byte.
set -u
here=$(cd "$(dirname "$0")" && pwd)
cc=${COLORCORRECT_CLI:-$here/../../build/bin/colorcorrect}
update=0
features=()
for a in "$@"; do
    case $a in
        --update) update=1 ;;
        all) for d in "$here"/*/commands; do features+=("$(basename "$(dirname "$d")")"); done ;;
        *) features+=("$a") ;;
    esac
done
[ ${#features[@]} -gt 0 ] || { echo "usage: run.sh [--update] FEATURE...|all" >&2; exit 2; }
[ -x "$cc" ] || { echo "no tool at $cc (set COLORCORRECT_CLI)" >&2; exit 2; }

colorcorrect() { "$cc" "$@"; }

run_feature() {
    local f=$1 dir=$here/$1 tmp line n=0 bad=0 out
    [ -f "$dir/commands" ] || { echo "$f: no such feature" >&2; return 1; }
    tmp=$(mktemp -d)
    [ -d "$dir/in" ] && cp -R "$dir/in/." "$tmp/"
    while IFS= read -r line <&3; do
        n=$((n + 1))
        case $line in '' | '#'*) continue ;; esac
        if ! (cd "$tmp" && set -o pipefail && eval "$line") </dev/null; then
            echo "$f: commands line $n failed: $line"
            bad=1
        fi
    done 3<"$dir/commands"
    # The outputs: every file that is not an input.
    out=$(cd "$tmp" && find . -type f | sed 's|^\./||' | while read -r p; do
        [ -e "$dir/in/$p" ] || echo "$p"; done | sort)
    if [ $update = 1 ]; then
        rm -rf "$dir/expected" && mkdir -p "$dir/expected"
        for p in $out; do mkdir -p "$dir/expected/$(dirname "$p")" && cp "$tmp/$p" "$dir/expected/$p"; done
        echo "$f: wrote $(echo "$out" | wc -w) expected files; look at them before committing"
    else
        for p in $(cd "$dir/expected" && find . -type f | sed 's|^\./||' | sort); do
            if [ ! -e "$tmp/$p" ]; then echo "$f: $p was not written"; bad=1
            elif ! cmp "$dir/expected/$p" "$tmp/$p" >/dev/null; then
                echo "$f: $p differs: $(cmp "$dir/expected/$p" "$tmp/$p" 2>&1 | sed 's/^.*differ: //')"
                case $p in *.json | *.txt | *.cube) diff "$dir/expected/$p" "$tmp/$p" | head -n 8 | sed 's/^/    /' ;; esac
                bad=1
            fi
        done
        for p in $out; do
            [ -e "$dir/expected/$p" ] || { echo "$f: unexpected output $p"; bad=1; }
        done
        [ $bad = 0 ] && echo "$f: $(echo "$out" | wc -w) outputs as expected"
    fi
    rm -rf "$tmp"
    return $bad
}

status=0
for f in "${features[@]}"; do run_feature "$f" || status=1; done
exit $status
