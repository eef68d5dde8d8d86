#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds with the address and
# undefined-behaviour sanitizers (warnings are errors), runs .clang-tidy's
# checks over the engine and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/check-format.sh
preset="${PIXMEND_TEST_PRESET:-ci}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
bash scripts/check-tidy.sh "build/$preset"
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j "$(nproc)"
