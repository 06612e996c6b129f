#!/bin/sh
# Makes the input files of the golden tests (committed; run again only to
# change them, then run 'run.sh --update all' and look at the new results).
# Needs the built tool and ffmpeg.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
cc=${COLORCORRECT_CLI:-$here/../../build/bin/colorcorrect}
ff="ffmpeg -nostdin -hide_banner -loglevel error -y"
src="-f lavfi -i testsrc2=size=96x64:rate=25"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp"

# A still with saturated bars, a gray patch, dark areas and gradients.
$ff $src -frames:v 1 -pix_fmt rgb24 still.png
$ff -i still.png -pix_fmt bgr24 still.bmp
# The same with an alpha ramp across, and an odd-sized crop.
$ff -i still.png -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='X*255/95'" alpha.png
$ff -i still.png -vf crop=33:17:10:40 -pix_fmt rgb24 odd.png
# Three moving frames in 4:4:4, 4:4:4 with alpha and 4:2:0.
$ff $src -frames:v 3 -pix_fmt yuv444p -f yuv4mpegpipe s444.y4m
$ff $src -frames:v 3 -pix_fmt yuva444p -strict -1 -f yuv4mpegpipe s444alpha.y4m
$ff $src -frames:v 3 -pix_fmt yuv420p -f yuv4mpegpipe s420.y4m
# Two odd-sized 4:2:0 frames, labelled with the other chroma siting.
$ff $src -frames:v 2 -vf format=rgb24,crop=33:17:10:40 -pix_fmt yuv420p -f yuv4mpegpipe odd.y4m
{ head -n 1 odd.y4m | sed 's/C420jpeg XYSCSS=420JPEG/C420mpeg2 XYSCSS=420MPEG2/'
  tail -c +$(($(head -n 1 odd.y4m | wc -c) + 1)) odd.y4m; } > s420odd.y4m
sed '1s/C420mpeg2 XYSCSS=420MPEG2/C420paldv XYSCSS=420PALDV/' s420odd.y4m > s420paldv.y4m
# One interlaced 4:2:0 frame: a red top field (the even rows of every plane)
# and a blue bottom field; the same labelled as mixing frame kinds.
rows() { # COUNT WIDTH OCTAL-BYTE-OF-EVEN-ROWS OCTAL-BYTE-OF-ODD-ROWS
    r=0
    while [ $r -lt "$1" ]; do
        if [ $((r % 2)) = 0 ]; then b=$3; else b=$4; fi
        i=0
        while [ $i -lt "$2" ]; do printf "\\$b"; i=$((i + 1)); done
        r=$((r + 1))
    done
}
{ printf 'YUV4MPEG2 W16 H8 F25:1 It A1:1 C420jpeg\nFRAME\n'
  rows 8 16 121 051; rows 4 8 132 360; rows 4 8 360 156; } > fields.y4m
sed '1s/ It / Im /' fields.y4m > mixed.y4m
# Corrections that must leave 4:2:0 chroma alone, take it all away, turn it.
j='{"format": "colorcorrect-correction", "version": 1, "flags": {"primary": true}, "base": {'
echo "$j}}" > neutral.json
echo "$j\"sat\": -255}}" > desat.json
echo "$j\"hue\": 64}}" > hue.json
cp "$here/look.json" .
"$cc" convert look.json look.ccr
# The reference: the still with a warm grade and the bars shifted, made by
# the tool itself.
cat > warm.json <<'JSON'
{"format": "colorcorrect-correction", "version": 1,
 "flags": {"primary": true, "six_vector": false, "match_vector": false, "clipping": false},
 "base": {"y_gamma": -20, "sat": 30, "hue": -10, "r_white": 25, "r_black": 10, "b_white": -30, "b_gamma": -15}}
JSON
"$cc" apply -c warm.json still.png ref.png

put() { # FEATURE FILES...
    feature=$1; shift
    rm -rf "$here/$feature/in"; mkdir -p "$here/$feature/in"
    cp "$@" "$here/$feature/in/"
}
put apply look.json look.ccr still.png still.bmp alpha.png odd.png s444.y4m s444alpha.y4m s420.y4m s420odd.y4m s420paldv.y4m \
    fields.y4m mixed.y4m neutral.json desat.json hue.json
put scope look.json still.png ref.png
put lut look.json look.ccr
put info look.json look.ccr warm.json
put convert look.json look.ccr
put auto look.json still.png ref.png
