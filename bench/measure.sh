# What the bench scripts share (sourced; WORK, a scratch folder, and RUNS must be set).
#
#   require_tools SCRIPT TOOL...        stops SCRIPT with a message when a tool is missing
#   run_once NAME OUT COMMAND...        runs the command once, OUT (a file it writes, or "")
#                                       removed first; sets RUN_WALL (seconds) and RUN_PEAK
#                                       (MiB); stops the script when it fails
#   faster A B                          whether wall time A is below B (or B is unset)
#   measure NAME OUT COMMAND...         RUNS runs; sets WALL (best) and PEAK (of that run)
#   measure_rounds TOOL...              RUNS rounds, each running every TOOL once in turn, so
#                                       that a host whose speed changes from minute to minute
#                                       slows all of them alike; TOOL's command is the array
#                                       CMD_TOOL and the file it writes OUT_TOOL ("" for none);
#                                       sets WALL_TOOL (best) and PEAK_TOOL (of that run)
#   add_verdict TEXT VALUE CONDITION    adds "TEXT met" to the array VERDICTS when awk finds
#                                       CONDITION true of v=VALUE, else "TEXT MISSED (VALUE)"
#   mb BYTES                            the bytes in MiB, three decimals

require_tools() {
    local script=$1
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$script: $tool is missing (make deps, make build)" >&2; exit 1; }
    done
}

run_once() {
    local name=$1 out=$2
    shift 2
    [ -n "$out" ] && rm -f "$out"
    if ! /usr/bin/time -o "$WORK/time" -f "%e %M" "$@" >"$WORK/out" 2>&1; then
        echo "bench: $name failed:" >&2
        cat "$WORK/out" >&2
        exit 1
    fi
    local kib
    read -r RUN_WALL kib <"$WORK/time"
    RUN_PEAK=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
}

faster() { [ -z "$2" ] || awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

measure() {
    local name=$1 out=$2
    shift 2
    WALL=""
    PEAK=""
    for ((run = 1; run <= RUNS; run++)); do
        run_once "$name" "$out" "$@"
        if faster "$RUN_WALL" "$WALL"; then WALL=$RUN_WALL PEAK=$RUN_PEAK; fi
    done
}

measure_rounds() {
    local tool run
    for tool in "$@"; do
        printf -v "WALL_$tool" '%s' ""
        printf -v "PEAK_$tool" '%s' ""
    done
    for ((run = 1; run <= RUNS; run++)); do
        for tool in "$@"; do
            local -n command="CMD_$tool" output="OUT_$tool" best="WALL_$tool" peak="PEAK_$tool"
            run_once "$tool" "$output" "${command[@]}"
            if faster "$RUN_WALL" "$best"; then best=$RUN_WALL peak=$RUN_PEAK; fi
            unset -n command output best peak
        done
    done
}

add_verdict() {
    if awk -v v="$2" "BEGIN { exit !($3) }"; then
        VERDICTS+=("$(printf '%-62s %s' "$1" met)")
    else
        VERDICTS+=("$(printf '%-62s %s  (%s)' "$1" MISSED "$2")")
    fi
}

mb() { awk -v b="$1" 'BEGIN { printf "%.3f", b / 1048576 }'; }
