#!/bin/sh
# Runs the libFuzzer targets of a `make fuzz-build` tree.
#   fuzz.sh BUILD replay   every committed corpus file once per target
#   fuzz.sh BUILD run      fuzz each target for FUZZ_RUNS executions or
#                          FUZZ_SECONDS seconds, whichever comes first
# New inputs go to BUILD/corpus/<target>, crashes to BUILD/crashes/; the
# committed corpus in fuzz/corpus/<target> is only read.
set -eu
build=$1
mode=$2
runs=${FUZZ_RUNS:-1000000}
seconds=${FUZZ_SECONDS:-1800}
cd "$(dirname "$0")/.."

failed=0
while read -r name; do
    [ -n "$name" ] || continue
    bin="$build/bin/$name"
    seeds="fuzz/corpus/$name"
    mkdir -p "$build/corpus/$name" "$build/crashes" "$build/logs"
    log="$build/logs/$name.log"
    if [ "$mode" = replay ]; then
        set -- "$build/corpus/$name"
        [ -d "$seeds" ] && set -- "$@" "$seeds"
        if ! "$bin" -runs=0 "$@" >"$log" 2>&1; then
            echo "$name: corpus replay FAILED (see $log)"
            failed=1
        fi
        continue
    fi
    set -- "$build/corpus/$name"
    [ -d "$seeds" ] && set -- "$@" "$seeds"
    if "$bin" -runs="$runs" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/crashes/$name-" "$@" >"$log" 2>&1; then
        verdict=ok
    else
        verdict=FAILED
        failed=1
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    echo "$name: $verdict, ${execs:-?} executions, ${cov:-cov: ?}"
done <"$build/fuzz-targets.txt"
exit $failed
