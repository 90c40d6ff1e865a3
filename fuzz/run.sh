#!/bin/bash
# Runs the built fuzz targets, JOBS at a time, each over its corpus: build-fuzz/corpus/<name>
# grows from the seeds in fuzz/corpus/<name>. Each target's output goes to
# build-fuzz/logs/<name>.log, and a line per target says how it ended. Fails when any target
# found something (its input is then build-fuzz/<crash|timeout|oom|leak>-<hash>).
#
#   fuzz/run.sh BUILD_DIR JOBS SECONDS RUNS TIMEOUT [target...]
#
# FORK=N runs each target as one run of N worker processes (libFuzzer's fork mode), for a long
# run of a single slow target on every core; RUNS then counts the executions of all workers.
set -u
fork=${FORK:-1}
build=$1 jobs=$2 seconds=$3 runs=$4 timeout=$5
shift 5
[ $# -gt 0 ] || set -- $(cd "$build/fuzz" && ls -- *_fuzz | sed 's/_fuzz$//')
mkdir -p "$build/logs"

one() {
    local name=$1 start rc execs
    mkdir -p "$build/corpus/$name"
    start=$(date +%s)
    local mode=()
    [ "$fork" -gt 1 ] && mode=(-fork="$fork")
    "$build/fuzz/${name}_fuzz" "${mode[@]}" -max_total_time="$seconds" -runs="$runs" -timeout="$timeout" \
        -print_final_stats=1 -artifact_prefix="$build/" "$build/corpus/$name" "fuzz/corpus/$name" \
        > "$build/logs/$name.log" 2>&1
    rc=$?
    echo $rc > "$build/logs/$name.rc"
    # A single process prints its final count; fork mode, the running total of its workers.
    execs=$(sed -n -e 's/^stat::number_of_executed_units: *//p' -e 's/^#\([0-9]*\): cov:.*/\1/p' \
        "$build/logs/$name.log" | tail -n 1)
    if [ $rc -eq 0 ]; then
        echo "$name: ${execs:-?} executions in $(($(date +%s) - start)) s"
    else
        echo "$name: FAILED (exit $rc: a finding, or it could not run) after $(($(date +%s) - start)) s: $build/logs/$name.log"
    fi
}

for name in "$@"; do
    rm -f "$build/logs/$name.rc"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
    one "$name" &
done
wait
for name in "$@"; do
    [ "$(cat "$build/logs/$name.rc" 2>/dev/null)" = 0 ] || exit 1
done
