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
# 320x240 with bicubic, as RGB), wall time and peak memory (the best wall time of RUNS runs,
# default 3), for
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

for tool in ffmpeg ffprobe /usr/bin/time "$CLI" "$STILL"; do
    command -v "$tool" >/dev/null || { echo "quality_bench: $tool is missing (make deps, make build)" >&2; exit 1; }
done

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

# make_clip NAME FFMPEG-ARGUMENTS...: the clip of that name, made when it is not there yet.
make_clip() {
    local clip=$MEDIA/$1
    shift
    if [ ! -s "$clip" ]; then
        mkdir -p "$MEDIA"
        echo "Making $clip (once)..." >&2
        ffmpeg -nostdin -v error -y "$@" "$clip.part.mp4" && mv "$clip.part.mp4" "$clip" ||
            { rm -f "$clip.part.mp4"; echo "quality_bench: cannot make $clip" >&2; exit 1; }
    fi
    echo "$clip"
}
X264=(-c:v libx264 -crf 18 -preset medium -pix_fmt yuv420p)

# A landscape from fractal noise: sky above wavy hills, textured grass.
NOISE="color=c=gray:s=20x8,format=gray,noise=alls=100:all_seed=1,scale=1600:600:flags=bicubic[a];"
NOISE+="color=c=gray:s=80x30,format=gray,noise=alls=100:all_seed=2,scale=1600:600:flags=bicubic[b];"
NOISE+="color=c=gray:s=320x120,format=gray,noise=alls=100:all_seed=3,scale=1600:600:flags=bicubic[c];"
NOISE+="color=c=gray:s=1600x600,format=gray,noise=alls=40:all_seed=4[d];"
NOISE+="[a][b]blend=all_expr='A*0.6+B*0.4'[ab];[ab][c]blend=all_expr='A*0.75+B*0.25'[abc];"
HILL="lt(Y,H*0.45+40*sin(X/150))"
LAND="[abc][d]blend=all_expr='A*0.9+B*0.1',format=gbrp,geq="
LAND+="r='if($HILL,clip(130+100*Y/H+0.7*(g(X,Y)-128),0,255),clip(100+1.3*(g(X,Y)-128)+30*sin(X/211),0,255))':"
LAND+="g='if($HILL,clip(170+60*Y/H+0.7*(g(X,Y)-128),0,255),clip(115+1.2*(g(X,Y)-128),0,255))':"
LAND+="b='if($HILL,clip(235-30*Y/H+0.5*(g(X,Y)-128),0,255),clip(60+0.8*(g(X,Y)-128),0,255))',gblur=sigma=0.7"
PHOTO=$MEDIA/photo.png
if [ ! -s "$PHOTO" ]; then
    mkdir -p "$MEDIA"
    ffmpeg -nostdin -v error -y -filter_complex "$NOISE$LAND" -frames:v 1 "$PHOTO"
fi
PAN=$(make_clip pan.mp4 -loop 1 -framerate 25 -i "$PHOTO" \
    -vf "crop=800:600:'min(800,n*6.7)':0,scale=640:480:flags=bicubic" -frames:v 120 "${X264[@]}")
PAN5=$(make_clip pan-5x.mp4 -stream_loop 4 -i "$PAN" -c copy)

# A flower swaying before a blurred green background with a little grain.
PETAL="st(0,X-320-12*sin(2*PI*T/3));st(1,Y-250-6*sin(2*PI*T/2));st(2,hypot(ld(0),ld(1)));"
PETAL+="st(3,atan2(ld(1),ld(0))+0.15*sin(2*PI*T/3));st(4,150*(0.55+0.45*abs(cos(2.5*ld(3)))));"
FLOWER="color=c=gray:s=16x12,format=gray,noise=alls=100:all_seed=5,scale=640:480:flags=bicubic,"
FLOWER+="gblur=sigma=25,format=gbrp,geq=r='clip(40+0.8*(g(X,Y)-128)+40*Y/H,0,255)':"
FLOWER+="g='clip(110+1.1*(g(X,Y)-128),0,255)':b='clip(50+0.5*(g(X,Y)-128),0,255)'[bg];"
FLOWER+="[bg]loop=loop=-1:size=1,fps=25,format=gbrp,geq="
FLOWER+="r='${PETAL}if(lt(ld(2),38),clip(235+10*sin(ld(2)/3),0,255),if(lt(ld(2),ld(4)),clip(250-50*ld(2)/ld(4)-25*abs(sin(9*ld(3))),0,255),r(X,Y)))':"
FLOWER+="g='${PETAL}if(lt(ld(2),38),clip(190+30*sin(ld(2)/2),0,255),if(lt(ld(2),ld(4)),clip(120-80*ld(2)/ld(4)+30*abs(sin(9*ld(3))),0,255),g(X,Y)))':"
FLOWER+="b='${PETAL}if(lt(ld(2),38),40,if(lt(ld(2),ld(4)),clip(200-40*ld(2)/ld(4),0,255),b(X,Y)))',"
FLOWER+="gblur=sigma=1.2,noise=alls=4:allf=t"
FLOWERCLIP=$(make_clip flower.mp4 -filter_complex "$FLOWER" -frames:v 75 "${X264[@]}")

FRACTAL="mandelbrot=s=640x480:r=25:maxiter=512:start_x=-0.743643887037151:start_y=0.13182590420533"
FRACTAL+=":start_scale=0.02:end_scale=0.004:end_pts=45:outer=normalized_iteration_count:inner=period"
FRACTALCLIP=$(make_clip fractal.mp4 -f lavfi -i "$FRACTAL" -vf "noise=alls=14:allf=t:all_seed=3" \
    -frames:v 45 "${X264[@]}")

SCREEN="color=c=0xe9edf2:s=640x480:r=25[base];smptehdbars=s=280x160:r=25[bars];"
SCREEN+="testsrc2=s=240x180:r=25[card];color=c=0x2c6fd6:s=640x36:r=25[title];"
SCREEN+="color=c=0xffffff:s=300x200:r=25,drawgrid=w=20:h=20:color=0xd0d6de[panel];"
SCREEN+="color=c=0xe8473d:s=40x40:r=25,format=yuva420p,geq=lum='p(X,Y)':cb='p(X,Y)':cr='p(X,Y)':"
SCREEN+="a='255*lt(hypot(X-20,Y-20),19)'[ball];[base][title]overlay=0:0[a];[a][bars]overlay=20:56[b];"
SCREEN+="[b][panel]overlay=320:56[c];[c][card]overlay=380:280[d];"
SCREEN+="[d][ball]overlay=x='330+250*abs(sin(t*0.9))':y='70+150*abs(cos(t*1.3))':eval=frame"
SCREENCLIP=$(make_clip screen.mp4 -filter_complex "$SCREEN" -frames:v 100 "${X264[@]}")

# run_once OUT COMMAND...: runs the command once, OUT removed first; sets RUN_WALL and RUN_PEAK.
run_once() {
    local out=$1
    shift
    [ -n "$out" ] && rm -f "$out"
    if ! /usr/bin/time -o "$WORK/time" -f "%e %M" "$@" >"$WORK/out" 2>&1; then
        echo "quality_bench: $* failed:" >&2
        cat "$WORK/out" >&2
        exit 1
    fi
    local kib
    read -r RUN_WALL kib <"$WORK/time"
    RUN_PEAK=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
}
faster() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
# measure OUT COMMAND...: RUNS runs; WALL (best) and PEAK (of that run).
measure() {
    local out=$1
    shift
    WALL="" PEAK=""
    for ((run = 1; run <= RUNS; run++)); do
        run_once "$out" "$@"
        if faster "$RUN_WALL" "$WALL"; then WALL=$RUN_WALL PEAK=$RUN_PEAK; fi
    done
}

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
verdict() { awk -v v="$2" "BEGIN { exit !($3) }" && VERDICTS+=("$(printf '%-62s %s' "$1" met)") ||
    VERDICTS+=("$(printf '%-62s %s  (%s)' "$1" MISSED "$2")"); }
mb() { awk -v b="$1" 'BEGIN { printf "%.3f", b / 1048576 }'; }

for name in pan flower fractal screen; do
    case $name in
        pan) clip=$PAN ;; flower) clip=$FLOWERCLIP ;; fractal) clip=$FRACTALCLIP ;; screen) clip=$SCREENCLIP ;;
    esac
    # ClipGIF.
    measure "$WORK/$name.gif" "$CLI" -q -s "$SIZE" -o "$WORK/$name.gif" "$clip"
    CW=$WALL CP=$PEAK
    metrics "$clip" "$WORK/$name.gif"
    CB=$BYTES CQ=$PSNR CS=$SSIM
    row "$name" clipgif "$(mb "$CB")" "$CQ" "$CS" "$CW" "$CP"
    # ffmpeg's decoding and scaling alone, and its palette GIF.
    measure "" ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H" -pix_fmt rgb24 -f null -
    DW=$WALL
    measure "$WORK/$name-ffmpeg.gif" ffmpeg -nostdin -v error -i "$clip" -vf \
        "scale=$W:$H:flags=bicubic,split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=bayer:bayer_scale=5:diff_mode=rectangle" \
        "$WORK/$name-ffmpeg.gif"
    FW=$WALL FP=$PEAK
    metrics "$clip" "$WORK/$name-ffmpeg.gif"
    FB=$BYTES FQ=$PSNR FS=$SSIM
    row "$name" ffmpeg "$(mb "$FB")" "$FQ" "$FS" "$FW" "$FP"
    MINB=$FB MAXQ=$FQ MAXS=$FS MINW=$FW
    if [ -n "$GIFSKI" ]; then
        rm -rf "$WORK/png" && mkdir "$WORK/png"
        ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H:flags=bicubic" "$WORK/png/%05d.png"
        measure "$WORK/$name-gifski.gif" "$GIFSKI" -q -Q 90 --fps 25 -o "$WORK/$name-gifski.gif" "$WORK"/png/*.png
        GW=$WALL GP=$PEAK
        metrics "$clip" "$WORK/$name-gifski.gif"
        GB=$BYTES GQ=$PSNR GS=$SSIM
        row "$name" gifski "$(mb "$GB")" "$GQ" "$GS" "$GW" "$GP"
        MINB=$(awk -v a="$MINB" -v b="$GB" 'BEGIN { print (a < b ? a : b) }')
        MAXQ=$(awk -v a="$MAXQ" -v b="$GQ" 'BEGIN { print (a > b ? a : b) }')
        MAXS=$(awk -v a="$MAXS" -v b="$GS" 'BEGIN { print (a > b ? a : b) }')
        MINW=$(awk -v a="$MINW" -v b="$GW" 'BEGIN { print (a < b ? a : b) }')
    fi
    row "$name" decode "" "" "" "$DW" ""
    verdict "$name: bytes <= smaller peer's ($(mb "$MINB") MB)" "$(mb "$CB")" "v <= $(mb "$MINB")"
    verdict "$name: PSNR >= better peer's - 0.5 ($MAXQ)" "$CQ" "v >= $MAXQ - 0.5"
    verdict "$name: SSIM >= better peer's - 0.005 ($MAXS)" "$CS" "v >= $MAXS - 0.005"
    verdict "$name: wall <= half the faster peer's ($MINW s)" "$CW" "v <= $MINW / 2"
    verdict "$name: wall <= 3 x decoding and scaling ($DW s)" "$CW" "v <= 3 * $DW"
    verdict "$name: peak memory <= 100 MiB" "$CP" "v <= 100"
    ffmpeg -nostdin -v error -i "$clip" -vf "scale=$W:$H" -pix_fmt rgb24 -f rawvideo "$WORK/$name.rgb"
    read -r STILLDRAWN DRAWNPX STILLPX < <("$STILL" "$WORK/$name.gif" "$WORK/$name.rgb" $W $H)
    verdict "$name: still pixels ($STILLPX) stored after the first frame" "$STILLDRAWN" "v == 0"
    rm -f "$WORK/$name.rgb"
done

measure "$WORK/pan5.gif" "$CLI" -q -s "$SIZE" -o "$WORK/pan5.gif" "$PAN5"
row pan-5x clipgif "$(mb "$(stat -c %s "$WORK/pan5.gif")")" "" "" "$WALL" "$PEAK"
verdict "pan five times over: peak memory <= 100 MiB" "$PEAK" "v <= 100"

echo
echo "GIFs of 640x480 25 fps H.264 clips at 320x240; $(nproc) cores; best of $RUNS runs"
printf '%-8s %-9s %9s %8s %7s %7s %8s\n' clip tool MB PSNR SSIM "wall s" "peak MiB"
printf '%s\n' "${ROWS[@]}"
echo
printf '%s\n' "${VERDICTS[@]}"
