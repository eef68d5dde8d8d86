#!/usr/bin/env bash
# Installs what is missing, builds the two programs (the window program and
# the command-line tool) of a release build and starts the program. With a
# display the window opens; without one the command-line tool removes the
# screen of the bundled sample automatically and says where the cleaned
# picture and the filter it applied are.
#
# The compiler's output goes to a log file, not the screen; a failed build
# shows its end.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bin=build/release
mkdir -p "$bin"
log="$bin/run-build.log"
echo "Building pixmend and pixmend-cli (release; the compiler's output is in $log) ..."
if ! { cmake --preset release && cmake --build --preset release --target pixmend pixmend-cli; } \
  >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "The build failed; the whole output is in $log" >&2
  exit 1
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/app/pixmend" ]; then
  exec "$bin/app/pixmend"
fi

sample=samples/halftone.bmp
out="${PIXMEND_OUT:-${TMPDIR:-/tmp}/pixmend-sample}"
mkdir -p "$out"
echo "No display: removing the halftone screen of $sample automatically."
"$bin/cli/pixmend-cli" descreen -q "$sample" -o "$out" --save-filters
name=$(basename "$sample")
echo "The cleaned picture is $out/$name"
echo "The filter that was applied is $out/${name%.*}.flt (replay it with pixmend-cli apply)"
