#!/bin/sh
# Peak memory and time of the command-line tool on a big scan: an A3 page at
# 600 dpi (7016 x 9921) by default. Run it from a release build; each command
# transforms the whole page, so a run takes minutes. The picture is made once
# by the sample tool and kept in the work folder for later runs.
#
# usage: bench/big_scan_memory.sh BUILD_DIR [WORK_DIR] [WIDTH HEIGHT]
#   e.g. bench/big_scan_memory.sh build/release /tmp/bigscan
set -eu
build=${1:?usage: big_scan_memory.sh BUILD_DIR [WORK_DIR] [WIDTH HEIGHT]}
work=${2:-/tmp/pixmend-bigscan}
width=${3:-7016}
height=${4:-9921}
cli=$build/cli/pixmend-cli
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$work/out"
scan=$work/scan-${width}x${height}.jpg
[ -f "$scan" ] || "$build/tools/pixmend-make-sample" "$scan" "$width" "$height"

store_mb=$(( width * height * 12 / 1000000 ))
echo "image $width x $height; the store's three planes: $store_mb MB"
measure() {
    label=$1
    shift
    /usr/bin/time -v "$@" --quiet 2>"$work/time.txt" >/dev/null || { cat "$work/time.txt"; exit 1; }
    peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
    echo "$label: peak $(( peak_kb / 1000 )) MB ($(( peak_kb / 10 / store_mb ))% of the store), $wall"
}
measure "spectrum -> .npy" "$cli" spectrum "$scan" -o "$work/out/spectrum.npy"
measure "spectrum -> .bmp" "$cli" spectrum "$scan" -o "$work/out/spectrum.bmp"
measure "apply -> .jpg   " "$cli" apply "$here/samples/halftone.flt" "$scan" -o "$work/out" --jobs 1
