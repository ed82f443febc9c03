#!/bin/bash
# Size-limit benchmark: clipgif-cli --max-size on four clips of different kinds at three limits
# each, every figure measured in this run.
#
#   bench/size_bench.sh [BUILD]      (make bench runs it after quality_bench.sh)
#
# The clips (640x480 25 fps H.264, made once under BUILD/bench-media/, see clips.sh) are
# converted at their own size with the defaults and a limit of 1 MB, 5 MB and 25 MB:
#   pan      20 s of a camera pan going back and forth over a photograph
#   flower   20 s of a flower swaying before a soft, grainy background
#   screen   20 s of a screen recording: panels standing still, a ball and a test card moving
#   fractal  10 s of a zoom into the Mandelbrot set with heavy film grain
# For each clip and limit: the estimate (`--estimate --max-size`, its wall time), the fitted
# conversion (wall time, bytes, the settings chosen, how many passes it took), and a plain
# conversion at the chosen settings (wall time). The fitted and the plain conversion at the
# chosen settings are then timed again in RUNS rounds (default 3), each running both once in turn,
# and their times are the best of all their runs: the ratio of the two stays with the host's
# speed when that changes from minute to minute. The verdicts: the GIF is never over the limit;
# where the limit binds (the plain GIF is larger), it uses at least 85% of it; the fitted
# conversion takes at most 2.5 times the plain one at the chosen settings; the estimate is
# within 15% of the bytes then written; a limit nothing fits writes nothing and exits 1.
set -euo pipefail

BUILD=${1:-build}
RUNS=${RUNS:-3}
CLI=$BUILD/bin/clipgif-cli
MEDIA=$BUILD/bench-media
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

source "$(dirname "$0")/measure.sh"
require_tools size_bench ffmpeg /usr/bin/time "$CLI"

source "$(dirname "$0")/clips.sh"
PAN=$(pan_clip pan-20s.mp4 500 '400+400*sin(n*6.7/400)')
FLOWERCLIP=$(flower_clip flower-20s.mp4 500)
SCREENCLIP=$(screen_clip screen-20s.mp4 500)
FRACTALCLIP=$(fractal_clip fractal-10s.mp4 250)

# timed OUT-FILE COMMAND...: runs the command; WALL its wall time, STATUS its exit status, and
# its stdout and stderr in $WORK/out and $WORK/err.
timed() {
    local out=$1
    shift
    [ -n "$out" ] && rm -f "$out"
    STATUS=0
    /usr/bin/time -o "$WORK/time" -f "%e" "$@" >"$WORK/out" 2>"$WORK/err" || STATUS=$?
    WALL=$(tail -n 1 "$WORK/time")
}

# "about 4.2 MB" (or KB, or bytes) in bytes.
estimate_bytes() {
    sed -n 's/.*: about \([0-9.]*\) \(MB\|KB\|bytes\).*/\1 \2/p' "$1" |
        awk '{ f = $2 == "MB" ? 1048576 : ($2 == "KB" ? 1024 : 1); printf "%.0f", $1 * f }'
}

ROWS=()
VERDICTS=()
row() { printf -v line '%-8s %5s %9s %9s %6s %-26s %6s %6s %6s %6s' "$@"; ROWS+=("$line"); }

for name in pan flower screen fractal; do
    case $name in
        pan) clip=$PAN ;; flower) clip=$FLOWERCLIP ;; screen) clip=$SCREENCLIP ;; fractal) clip=$FRACTALCLIP ;;
    esac
    timed "$WORK/plain.gif" "$CLI" -q -o "$WORK/plain.gif" "$clip"
    PLAIN=$(stat -c %s "$WORK/plain.gif")
    row "$name" none "$(mb "$PLAIN")" "" "" "$(sed -n 's/.*frames, \([0-9x]*\),.*/\1/p' "$WORK/out"), defaults" "" "" "$WALL" ""
    for limit in 1M 5M 25M; do
        bytes_limit=$((${limit%M} * 1048576))
        timed "" "$CLI" -q --estimate --max-size "$limit" "$clip"
        EW=$WALL
        EST=$(estimate_bytes "$WORK/out")
        timed "$WORK/fit.gif" "$CLI" --max-size "$limit" -o "$WORK/fit.gif" "$clip"
        FW=$WALL
        if [ "$STATUS" -ne 0 ]; then
            row "$name" "$limit" "" "" "" "cannot fit" "" "$FW" "" ""
            VERDICTS+=("$name $limit: $(sed 's/.*: ClipGIF/ClipGIF/' "$WORK/err")")
            WRITTEN=$([ -e "$WORK/fit.gif" ] && echo 1 || echo 0)
            add_verdict "$name $limit: exit 1 and nothing written" "$STATUS $WRITTEN" "v == \"1 0\""
            continue
        fi
        BYTES=$(stat -c %s "$WORK/fit.gif")
        PASSES=$((1 + $(grep -c 'converting it again lower' "$WORK/err" || true)))
        read -r W H R Q < <(sed -n 's/.*fitted to [^:]*: \([0-9]*\)x\([0-9]*\), \([0-9.]*\) fps, quality \([0-9]*\).*/\1 \2 \3 \4/p' "$WORK/out")
        CMD_fit=("$CLI" -q --max-size "$limit" -o "$WORK/fit.gif" "$clip")
        OUT_fit=$WORK/fit.gif
        CMD_chosen=("$CLI" -q -s "${W}x$H" --fps "$R" --quality "$Q" -o "$WORK/chosen.gif" "$clip")
        OUT_chosen=$WORK/chosen.gif
        measure_rounds fit chosen
        FW=$(awk -v a="$FW" -v b="$WALL_fit" 'BEGIN { print (a < b ? a : b) }')
        PW=$WALL_chosen
        USE=$(awk -v b="$BYTES" -v l="$bytes_limit" 'BEGIN { printf "%.1f", 100 * b / l }')
        ERR=$(awk -v e="$EST" -v b="$BYTES" 'BEGIN { printf "%+.1f", 100 * (e - b) / b }')
        RATIO=$(awk -v f="$FW" -v p="$PW" 'BEGIN { printf "%.2f", f / p }')
        row "$name" "$limit" "$(mb "$BYTES")" "$(mb "$EST")" "$USE%" "${W}x$H, $R fps, q$Q" "$PASSES" "$FW" "$PW" "$EW"
        add_verdict "$name $limit: not over the limit" "$BYTES" "v <= $bytes_limit"
        if [ "$PLAIN" -gt "$bytes_limit" ]; then
            add_verdict "$name $limit: uses >= 85% of the limit" "$USE" "v >= 85"
        fi
        add_verdict "$name $limit: time <= 2.5 x plain at the chosen settings" "$RATIO" "v <= 2.5"
        add_verdict "$name $limit: estimate within 15% of the bytes written" "$ERR" "v >= -15 && v <= 15"
    done
done

echo
echo "GIFs of 640x480 25 fps H.264 clips under a size limit; $(nproc) cores"
printf '%-8s %5s %9s %9s %6s %-26s %6s %6s %6s %6s\n' clip limit MB "est. MB" used "chosen" passes "fit s" "plain s" "est. s"
printf '%s\n' "${ROWS[@]}"
echo
printf '%s\n' "${VERDICTS[@]}"
