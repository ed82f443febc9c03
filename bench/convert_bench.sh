#!/bin/bash
# Conversion benchmark: clipgif-cli against ffmpeg on a 60 s and a 300 s 640x480 25 fps H.264
# clip of a moving, natural-looking scene, every figure measured in this run.
#
#   bench/convert_bench.sh [BUILD]      (make bench; BUILD defaults to build)
#
# The clips are made once and kept under BUILD/bench-media/: a slow zoom into the Mandelbrot
# set, drawn small, scaled up and blurred, laid soft-light over drifting colour gradients, with
# a little film grain: smooth shading, texture and motion everywhere, like a camera's picture
# rather than a test card. The 300 s clip is the 60 s one five times over (the packets copied):
# drawing the zoom deeper costs the Mandelbrot source more and more time per frame.
#
# Measured with GNU time (wall seconds, peak resident memory), the best wall time of RUNS runs
# (default 3; the peak is that run's):
#   clipgif-cli -s 320x240 and ffmpeg decoding and scaling to 320x240 BGR24 into nothing, on
#   both clips, the two taking turns so that the machine's slower spells fall on both
#   ffmpeg's GIF with a palette of its own for every frame, on the 60 s clip scaled to 320x240
# then the ratios against the targets: clipgif-cli at most twice the decoding and scaling, at
# least 8 times faster than the per-frame palette GIF, at most 100 MiB, and no more on the
# clip five times as long.
set -euo pipefail

BUILD=${1:-build}
RUNS=${RUNS:-3}
CLI=$BUILD/bin/clipgif-cli
MEDIA=$BUILD/bench-media
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

source "$(dirname "$0")/measure.sh"
require_tools convert_bench ffmpeg /usr/bin/time "$CLI"
source "$(dirname "$0")/clips.sh"
CLIP60=$(scene_clip scene-60s.mp4 60)
CLIP300=$(make_clip scene-300s.mp4 -stream_loop 4 -i "$CLIP60" -c copy)

CLI_ROWS=()
DECODE_ROWS=()
ROWS=()
# row NAME CLIP WALL PEAK [GIF]: a line of the table.
row() {
    local size="-"
    [ -n "${5:-}" ] && [ -f "$5" ] && size=$(awk -v b="$(stat -c %s "$5")" 'BEGIN { printf "%.1f", b / 1048576 }')
    printf '%-44s %6s %9s %9s %9s' "$1" "$2" "$3" "$4" "$size"
}

for clip in 60 300; do
    clipVariable=CLIP$clip
    CLIP=${!clipVariable}
    # clipgif-cli and ffmpeg's decoding and scaling in turn, so that a slower spell of the
    # machine falls on both sides of their ratio.
    CMD_cli=("$CLI" -s 320x240 -o "$WORK/cli$clip.gif" "$CLIP")
    OUT_cli=$WORK/cli$clip.gif
    CMD_decode=(ffmpeg -nostdin -v error -i "$CLIP" -vf scale=320:240 -pix_fmt bgr24 -f null -)
    OUT_decode=""
    measure_rounds cli decode
    CLI_WALL=$WALL_cli CLI_PEAK=$PEAK_cli DECODE_WALL=$WALL_decode DECODE_PEAK=$PEAK_decode
    printf -v "CLI${clip}_WALL" %s "$CLI_WALL"
    printf -v "CLI${clip}_PEAK" %s "$CLI_PEAK"
    printf -v "DECODE${clip}_WALL" %s "$DECODE_WALL"
    CLI_ROWS+=("$(row "clipgif-cli -s 320x240" "$clip s" "$CLI_WALL" "$CLI_PEAK" "$WORK/cli$clip.gif")")
    DECODE_ROWS+=("$(row "ffmpeg -vf scale=320:240 -pix_fmt bgr24 null" "$clip s" "$DECODE_WALL" "$DECODE_PEAK")")
done
ROWS=("${CLI_ROWS[@]}" "${DECODE_ROWS[@]}")

measure "ffmpeg per-frame palette GIF 60 s" "$WORK/palette60.gif" \
    ffmpeg -nostdin -v error -i "$CLIP60" -vf \
    "scale=320:240,split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1:dither=none" \
    "$WORK/palette60.gif"
PALETTE60_WALL=$WALL
ROWS+=("$(row "ffmpeg per-frame palette GIF" "60 s" "$WALL" "$PEAK" "$WORK/palette60.gif")")

echo
echo "Conversion to 320x240 of 640x480 25 fps H.264 clips; $(nproc) cores; best of $RUNS runs"
printf '%-44s %6s %9s %9s %9s\n' "" "clip" "wall s" "peak MiB" "GIF MiB"
printf '%s\n' "${ROWS[@]}"
echo
# verdict VALUE TARGET-TEST: "met" or "MISSED".
verdict() { awk -v v="$1" "BEGIN { exit !($2) }" && echo met || echo MISSED; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
r=$(ratio "$CLI60_WALL" "$DECODE60_WALL")
printf '%-62s %6s  %s\n' "clipgif-cli wall / decode-and-scale wall, 60 s (<= 2)" "$r" "$(verdict "$r" 'v <= 2')"
r=$(ratio "$CLI300_WALL" "$DECODE300_WALL")
printf '%-62s %6s  %s\n' "clipgif-cli wall / decode-and-scale wall, 300 s (<= 2)" "$r" "$(verdict "$r" 'v <= 2')"
r=$(ratio "$PALETTE60_WALL" "$CLI60_WALL")
printf '%-62s %6s  %s\n' "per-frame palette GIF wall / clipgif-cli wall, 60 s (>= 8)" "$r" "$(verdict "$r" 'v >= 8')"
printf '%-62s %6s  %s\n' "clipgif-cli peak MiB, 60 s (<= 100)" "$CLI60_PEAK" "$(verdict "$CLI60_PEAK" 'v <= 100')"
printf '%-62s %6s  %s\n' "clipgif-cli peak MiB, 300 s (<= 100)" "$CLI300_PEAK" "$(verdict "$CLI300_PEAK" 'v <= 100')"
# Resident memory varies by a few MiB from run to run: 5% counts as the same.
r=$(ratio "$CLI300_PEAK" "$CLI60_PEAK")
printf '%-62s %6s  %s\n' "clipgif-cli peak 300 s / peak 60 s (no more: <= 1.05)" "$r" "$(verdict "$r" 'v <= 1.05')"
