#!/bin/bash
# Quality benchmark: clipgif-cli's default GIF against gifski -Q 90 and ffmpeg's two-pass palette
# GIF on four natural-looking clips of different kinds, every figure measured in this run.
#
#   bench/quality_bench.sh [BUILD]      (make bench runs it after convert_bench.sh)
#
# The clips are made once under BUILD/bench-media/ with the ffmpeg tool's lavfi sources, 640x480
# 25 fps H.264, and converted to 320x240:
#   pan      a camera pan over a photograph (a landscape drawn from fractal noise), 120 frames
#   flower   a close-up of a flower swaying before a soft, grainy background, 75 frames
#   fractal  a zoom into the Mandelbrot set with heavy film grain, 45 frames
#   screen   a screen recording: flat panels and colour bars standing still, a ball and a test
#            card moving, 100 frames
# For each: bytes, PSNR and SSIM (ffmpeg's psnr and ssim filters against the clip scaled to
# 320x240 with bicubic, as RGB), wall time and peak memory (the best wall time of RUNS rounds,
# default 3, each round running every tool of the clip once in turn), for
#   clipgif-cli -s 320x240 (defaults: fitted colours, quality 90)
#   gifski -Q 90 --fps 25 on the clip's pictures as PNG files (made beforehand, not timed)
#   ffmpeg palettegen=stats_mode=diff + paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle
#   ffmpeg decoding and scaling the clip to 320x240 (no GIF), for the speed target
# then the verdicts: bytes at most the smaller peer's, PSNR at most 0.5 dB and SSIM at most 0.005
# below the better peer's, wall time at most half the faster peer's and at most 3 times the
# decoding and scaling, peak memory at most 100 MiB and no more on the pan five times over, and
# no pixel the clip never changes stored again after the first frame (bench_still_pixels).
#
# gifski is a peer to measure against, never a dependency: GIFSKI=/path/to/gifski, else
# BUILD/bench-peers/package/bin/debian/gifski, fetched once with `npm pack gifski@1.7.1` when
# npm is there; without it the gifski columns are left out.
set -euo pipefail

BUILD=${1:-build}
RUNS=${RUNS:-3}
CLI=$BUILD/bin/clipgif-cli
STILL=$BUILD/bin/bench_still_pixels
MEDIA=$BUILD/bench-media
PEERS=$BUILD/bench-peers
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SIZE=320x240
W=320
H=240

source "$(dirname "$0")/measure.sh"
require_tools quality_bench ffmpeg ffprobe /usr/bin/time "$CLI" "$STILL"

# The gifski binary, fetched once from the npm registry when it is not given.
find_gifski() {
    if [ -n "${GIFSKI:-}" ]; then echo "$GIFSKI"; return; fi
    local bin=$PEERS/package/bin/debian/gifski
    if [ ! -x "$bin" ] && command -v npm >/dev/null; then
        mkdir -p "$PEERS"
        (cd "$PEERS" && npm pack --silent gifski@1.7.1 >/dev/null 2>&1 && tar xzf gifski-1.7.1.tgz) || true
    fi
    [ -x "$bin" ] && echo "$bin"
    return 0
}
GIFSKI=$(find_gifski)
[ -n "$GIFSKI" ] || echo "quality_bench: no gifski (set GIFSKI or install npm); its columns are left out" >&2

source "$(dirname "$0")/clips.sh"
PAN=$(pan_clip pan.mp4 120)
PAN5=$(make_clip pan-5x.mp4 -stream_loop 4 -i "$PAN" -c copy)
FLOWERCLIP=$(flower_clip flower.mp4 75)
FRACTALCLIP=$(fractal_clip fractal.mp4 45)
SCREENCLIP=$(screen_clip screen.mp4 100)

# metrics CLIP GIF: sets BYTES, PSNR and SSIM of GIF against CLIP scaled to 320x240 (bicubic).
metrics() {
    local clip=$1 gif=$2
    BYTES=$(stat -c %s "$gif")
    local graph="[0:v]fps=25,format=rgb24,setpts=N/TB/25[a];"
    graph+="[1:v]scale=$W:$H:flags=bicubic,fps=25,format=rgb24,setpts=N/TB/25[b];"
    graph+="[a]split[a1][a2];[b]split[b1][b2];[a1][b1]psnr;[a2][b2]ssim"
    local out
    out=$(ffmpeg -nostdin -v info -i "$gif" -i "$clip" -lavfi "$graph" -f null - 2>&1)
    PSNR=$(echo "$out" | grep -o 'PSNR r:.*average:[0-9.inf]*' | grep -o 'average:[0-9.inf]*' | cut -d: -f2)
    SSIM=$(echo "$out" | grep -o 'SSIM R:.*All:[0-9.]*' | grep -o 'All:[0-9.]*' | cut -d: -f2)
}

ROWS=()
VERDICTS=()
row() { printf -v line '%-8s %-9s %9s %8s %7s %7s %8s' "$@"; ROWS+=("$line"); }

for name in pan flower fractal screen; do
    case $name in
        pan) clip=$PAN ;; flower) clip=$FLOWERCLIP ;; fractal) clip=$FRACTALCLIP ;; screen) clip=$SCREENCLIP ;;
    esac
    # Each tool once in every round, gifski on the clip's pictures as PNG files made beforehand.
    CMD_clipgif=("$CLI" -q -s "$SIZE" -o "$WORK/$name.gif" "$clip")
    OUT_clipgif=$WORK/$name.gif
    CMD_decode=(ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H" -pix_fmt rgb24 -f null -)
    OUT_decode=""
    CMD_palette=(ffmpeg -nostdin -v error -i "$clip" -vf
        "scale=$W:$H:flags=bicubic,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle"
        "$WORK/$name-ffmpeg.gif")
    OUT_palette=$WORK/$name-ffmpeg.gif
    tools=(clipgif decode palette)
    if [ -n "$GIFSKI" ]; then
        rm -rf "$WORK/png" && mkdir "$WORK/png"
        ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H:flags=bicubic" "$WORK/png/%05d.png"
        CMD_gifski=("$GIFSKI" -q -Q 90 --fps 25 -o "$WORK/$name-gifski.gif" "$WORK"/png/*.png)
        OUT_gifski=$WORK/$name-gifski.gif
        tools+=(gifski)
    fi
    measure_rounds "${tools[@]}"
    metrics "$clip" "$WORK/$name.gif"
    CB=$BYTES CQ=$PSNR CS=$SSIM CW=$WALL_clipgif CP=$PEAK_clipgif
    row "$name" clipgif "$(mb "$CB")" "$CQ" "$CS" "$CW" "$CP"
    DW=$WALL_decode
    metrics "$clip" "$WORK/$name-ffmpeg.gif"
    FB=$BYTES FQ=$PSNR FS=$SSIM FW=$WALL_palette
    row "$name" ffmpeg "$(mb "$FB")" "$FQ" "$FS" "$FW" "$PEAK_palette"
    MINB=$FB MAXQ=$FQ MAXS=$FS MINW=$FW
    if [ -n "$GIFSKI" ]; then
        metrics "$clip" "$WORK/$name-gifski.gif"
        GB=$BYTES GQ=$PSNR GS=$SSIM GW=$WALL_gifski
        row "$name" gifski "$(mb "$GB")" "$GQ" "$GS" "$GW" "$PEAK_gifski"
        MINB=$(awk -v a="$MINB" -v b="$GB" 'BEGIN { print (a < b ? a : b) }')
        MAXQ=$(awk -v a="$MAXQ" -v b="$GQ" 'BEGIN { print (a > b ? a : b) }')
        MAXS=$(awk -v a="$MAXS" -v b="$GS" 'BEGIN { print (a > b ? a : b) }')
        MINW=$(awk -v a="$MINW" -v b="$GW" 'BEGIN { print (a < b ? a : b) }')
    fi
    row "$name" decode "" "" "" "$DW" ""
    add_verdict "$name: bytes <= smaller peer's ($(mb "$MINB") MB)" "$(mb "$CB")" "v <= $(mb "$MINB")"
    add_verdict "$name: PSNR >= better peer's - 0.5 ($MAXQ)" "$CQ" "v >= $MAXQ - 0.5"
    add_verdict "$name: SSIM >= better peer's - 0.005 ($MAXS)" "$CS" "v >= $MAXS - 0.005"
    add_verdict "$name: wall <= half the faster peer's ($MINW s)" "$CW" "v <= $MINW / 2"
    add_verdict "$name: wall <= 3 x decoding and scaling ($DW s)" "$CW" "v <= 3 * $DW"
    add_verdict "$name: peak memory <= 100 MiB" "$CP" "v <= 100"
    ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H" -pix_fmt rgb24 -f rawvideo "$WORK/$name.rgb"
    read -r STILLDRAWN DRAWNPX STILLPX < <("$STILL" "$WORK/$name.gif" "$WORK/$name.rgb" $W $H)
    add_verdict "$name: still pixels ($STILLPX) stored after the first frame" "$STILLDRAWN" "v == 0"
    rm -f "$WORK/$name.rgb"
done

measure clipgif-cli "$WORK/pan5.gif" "$CLI" -q -s "$SIZE" -o "$WORK/pan5.gif" "$PAN5"
row pan-5x clipgif "$(mb "$(stat -c %s "$WORK/pan5.gif")")" "" "" "$WALL" "$PEAK"
add_verdict "pan five times over: peak memory <= 100 MiB" "$PEAK" "v <= 100"

echo
echo "GIFs of 640x480 25 fps H.264 clips at 320x240; $(nproc) cores; best of $RUNS runs"
printf '%-8s %-9s %9s %8s %7s %7s %8s\n' clip tool MB PSNR SSIM "wall s" "peak MiB"
printf '%s\n' "${ROWS[@]}"
echo
printf '%s\n' "${VERDICTS[@]}"
