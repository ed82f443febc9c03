#!/bin/bash
# Seed corpora of the fuzz targets, made fresh by the build:
#   make_seeds.sh SOURCE_DIR GIFKIT OUT_DIR
# GIFs from the ffmpeg tool and from gifkit (the project's writer), BMPs from the ffmpeg tool and
# from gifkit, option strings taken from the engine's tests, settings files stored as the
# programs store them.
set -euo pipefail
source_dir=$1
gifkit=$2
out=$3
rm -rf "$out"
mkdir -p "$out"/gif_reader "$out"/bmp_reader "$out"/option_parser "$out"/settings
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -nostdin -y -loglevel error "$@"; }

# BMP pictures of every depth the ffmpeg tool writes.
for format in bgr24 bgra rgb565le rgb555le rgb444le pal8 gray monob rgb8 rgb4_byte; do
    ff -f lavfi -i testsrc=size=23x13 -frames:v 1 -pix_fmt "$format" "$out/bmp_reader/$format.bmp"
done

# GIFs by the ffmpeg tool: a plain clip and one with transparency and a loop count.
ff -f lavfi -i testsrc=size=40x30:rate=10 -t 0.4 "$out/gif_reader/ffmpeg_testsrc.gif"
ff -f lavfi -i mandelbrot=size=32x24:rate=10 -t 0.3 -loop 3 "$out/gif_reader/ffmpeg_loop.gif"

# GIFs by the project's writer, with each coder and a few colour reductions.
for i in 0 1 2; do
    ff -f lavfi -i "testsrc=size=32x24:rate=5,hue=h=$((i * 90))" -frames:v 1 -pix_fmt bgr24 \
        "$work/picture$i.bmp"
done
"$gifkit" encode -o "$out/gif_reader/gifkit_lzw.gif" "$work"/picture*.bmp
"$gifkit" encode --encoding rle -o "$out/gif_reader/gifkit_rle.gif" "$work/picture0.bmp"
"$gifkit" encode --mode 4 --dither 1 -o "$out/gif_reader/gifkit_bw.gif" "$work/picture1.bmp"
"$gifkit" encode --mode 7 --bits 3 -o "$out/gif_reader/gifkit_octree.gif" "$work/picture2.bmp"
"$gifkit" decode "$out/gif_reader/gifkit_octree.gif" "$out/bmp_reader/gifkit"

# A GIF with every extension: comment, looping, unknown application, plain text, graphic
# control, and an interlaced 1 x 1 frame with a local colour table.
printf 'GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff'\
'\x21\xfe\x05hello\x00'\
'\x21\xff\x0bNETSCAPE2.0\x03\x01\x02\x00\x00'\
'\x21\xff\x0bXMP DataXMP\x02ab\x00'\
'\x21\x01\x0c\x00\x00\x00\x00\x08\x00\x08\x00\x08\x08\x01\x00\x02hi\x00'\
'\x21\xf9\x04\x05\x0a\x00\x01\x00'\
'\x2c\x00\x00\x00\x00\x01\x00\x01\x00\xc0\x00\x00\x00\xff\xff\xff\x02\x02\x44\x01\x00\x3b' \
    > "$out/gif_reader/extensions.gif"

# Option strings the engine's tests parse.
n=0
grep -rohE --include='*.cpp' '(ParseOptions|ParsePresets|ParseError\([a-z]+,) ?\("([^"\\]|\\.)*"' \
    "$source_dir"/tests/engine |
    sed -E 's/^[^"]*"//; s/"$//' | sort -u |
    while IFS= read -r line; do
        n=$((n + 1))
        printf '\x01%b' "$line" > "$out/option_parser/test$n"
    done
printf '\x03%b' 'vcodec=mpeg4\nb=400000\n# comment\n' > "$out/option_parser/presets"

# Settings files: complemented lines, plain line breaks.
store() { printf '%s' "$1" | perl -0777 -pe '$_ ^= "\xff" x length'; }
{
    store '[SYSTEM]'; printf '\r\n'
    store 'Name=ClipGIF'; printf '\r\n'
    store 'Version=0.1'; printf '\r\n'
    store 'ResFolder=blue'; printf '\r\n'
    store 'HelpHomePageLink=help/index.html'
} > "$out/settings/lamecore.dll"
{
    store '; other'; printf '\n'
    store '[other]'; printf '\r'
    store 'Name=x'; printf '\n\n'
    store ' [ system ] '; printf '\r\n'
    store 'name = Clip '
} > "$out/settings/mixed.dll"
touch "$out/stamp"
