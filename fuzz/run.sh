#!/bin/bash
# Runs every fuzz target for a set time on its seeds and the corpus it grew before:
#   run.sh BUILD_DIR SECONDS [TARGET...]
# Fails when a target finds a crash, a leak, a time-out (10 s for one input) or an input that
# needs more than 2 GB; the input is kept as BUILD_DIR/fuzz-artifacts/TARGET-*.
set -uo pipefail
build=$1
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(gif_reader bmp_reader option_parser settings)
mkdir -p "$build/fuzz-artifacts"
failed=()
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    log="$build/fuzz-artifacts/$target.log"
    mkdir -p "$corpus"
    echo "== $target: $seconds s"
    "$build/bin/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
        "$corpus" "$build/fuzz-seeds/$target" > "$log" 2>&1
    status=$?
    grep -E '^#[0-9]+[[:space:]]+(DONE|INITED)|stat::number_of_executed_units|stat::peak_rss_mb' "$log"
    if [ $status -ne 0 ]; then
        echo "$target FAILED (exit $status), see $log:"
        grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -20
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing failed: ${failed[*]}"
    exit 1
fi
echo "fuzzing passed: ${targets[*]}"
