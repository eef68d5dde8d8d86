#!/usr/bin/env bash
# Checks that every C++ file is formatted as .clang-format says; with --fix it
# formats them instead. The test script runs the check, so a change that is
# not formatted fails like a failing test.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run -Werror "${files[@]}"
fi
