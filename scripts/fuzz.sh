#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, address and
# undefined-behaviour sanitizers) and runs each for a set time, default 60 s:
#   [FUZZ_JOBS=N] scripts/fuzz.sh [SECONDS] [TARGET...]
# FUZZ_JOBS runs that many targets at once (default 1: one after the other).
# Each target starts from its seeds in fuzz/corpus/TARGET and keeps what it
# learns in build/fuzz/corpus/TARGET; its output goes to build/fuzz/logs/TARGET.log.
# An input that crashes, leaks, takes more than 10 s or more than 2 GB is
# saved in build/fuzz/found/TARGET; copy it into fuzz/corpus/TARGET once it is
# fixed, and the normal test run replays it from then on (fuzz_replay_tests).
# At the end one line per target gives the executions, their rate, the peak
# memory, the corpus before and after, and what was found. With FUZZ_MERGE=1
# the inputs that reached something new are then merged into fuzz/corpus, so
# that the next run (on any machine) and the test run start from them.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(bitmap jpeg png_tiff npy filter settings help_request)
jobs=${FUZZ_JOBS:-1}

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j2 --target "${targets[@]/#/fuzz_}"
mkdir -p build/fuzz/logs

count() { find "$1" -maxdepth 1 -type f | wc -l; }

run() {
    local t=$1
    mkdir -p "build/fuzz/corpus/$t" "build/fuzz/found/$t"
    count "build/fuzz/corpus/$t" >"build/fuzz/logs/$t.before"
    echo "== $t (${seconds} s) from $(date +%T)" >&2
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
        "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build/fuzz/found/$t/" \
        "build/fuzz/corpus/$t" "fuzz/corpus/$t" >"build/fuzz/logs/$t.log" 2>&1
}

status=0
running=0
for t in "${targets[@]}"; do
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
    run "$t" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done

stat() { sed -n "s/^stat::$1: *//p" "build/fuzz/logs/$2.log" | tail -1; }
printf '%-13s %12s %8s %8s %15s %6s\n' target executions exec/s peak-MB corpus found
for t in "${targets[@]}"; do
    printf '%-13s %12s %8s %8s %15s %6s\n' "$t" "$(stat number_of_executed_units "$t")" \
        "$(stat average_exec_per_sec "$t")" "$(stat peak_rss_mb "$t")" \
        "$(cat "build/fuzz/logs/$t.before") -> $(count "build/fuzz/corpus/$t")" \
        "$(count "build/fuzz/found/$t")"
done
if [ "${FUZZ_MERGE:-0}" = 1 ]; then
    for t in "${targets[@]}"; do
        QT_QPA_PLATFORM=offscreen "build/fuzz/fuzz/fuzz_$t" -merge=1 "fuzz/corpus/$t" \
            "build/fuzz/corpus/$t" >"build/fuzz/logs/$t.merge.log" 2>&1
        echo "merged into fuzz/corpus/$t: $(count "fuzz/corpus/$t") files" >&2
    done
fi
[ "$status" -eq 0 ] || echo "a target stopped on a finding: see build/fuzz/logs and build/fuzz/found" >&2
exit $status
