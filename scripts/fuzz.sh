#!/usr/bin/env bash
# Builds the fuzz targets (the "fuzz" preset: clang, libFuzzer, address and
# undefined-behaviour sanitizers) and runs each for a set time, default 60 s:
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Each target starts from its seeds in fuzz/corpus/TARGET and keeps what it
# learns in build/fuzz/corpus/TARGET. An input that crashes, leaks, takes
# more than 10 s or more than 2 GB is saved in build/fuzz/found/TARGET; copy
# it into fuzz/corpus/TARGET once it is fixed, and the normal test run
# replays it from then on (fuzz_replay_tests).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(bitmap jpeg png_tiff npy filter settings help_request)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j2 --target "${targets[@]/#/fuzz_}"
status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/found/$t"
  echo "== $t (${seconds} s)" >&2
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
    "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="build/fuzz/found/$t/" \
    "build/fuzz/corpus/$t" "fuzz/corpus/$t" || status=1
done
exit $status
