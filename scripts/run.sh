#!/usr/bin/env bash
# Installs what is missing, builds a release build and starts the program.
# With a display, the window program opens; without one (or when it is not
# built), the command-line tool cleans the bundled sample and says where the
# result is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
bin=build/release
sample=samples/halftone.bmp
out="${PIXMEND_OUT:-${TMPDIR:-/tmp}/pixmend-sample}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$bin/app/pixmend" ]; then
  exec "$bin/app/pixmend"
fi

mkdir -p "$out"
echo "No display: cleaning the bundled sample with the command-line tool."
if [ -f samples/halftone.flt ] && "$bin/cli/pixmend-cli" --help | grep -q '^  apply'; then
  "$bin/cli/pixmend-cli" apply samples/halftone.flt "$sample" -o "$out"
  echo "The cleaned sample is $out/$(basename "$sample")"
else
  "$bin/cli/pixmend-cli" roundtrip "$sample" -o "$out/roundtrip.bmp"
fi
"$bin/cli/pixmend-cli" spectrum "$sample" -o "$out/spectrum.bmp"
echo "Its spectrum (as the window shows it) is $out/spectrum.bmp"
