#!/bin/sh
# Peak memory and time of the command-line tool on a big scan: an A3 page at
# 600 dpi (7016 x 9921) by default. Run it from a release build; each command
# transforms the whole page, so a run takes minutes. The pictures are made
# once by the sample tool and kept in the work folder for later runs (and for
# other builds, so that two builds are measured on the same files).
#
# usage: bench/big_scan_memory.sh BUILD_DIR [WORK_DIR] [WIDTH HEIGHT]
#   e.g. bench/big_scan_memory.sh build/release /tmp/bigscan
# PARTS chooses what runs (default "transform descreen"): "transform" is
# spectrum and apply on the JPEG; "descreen" is descreen on the page as
# JPEG, PNG and TIFF (each written in its own format), without a memory
# limit and with --max-memory $LIMIT (default 1200M). Under the limit a run
# either stays within it or refuses the file with the memory message; the
# line says which, and says so when the peak went beyond the limit.
set -eu
build=${1:?usage: big_scan_memory.sh BUILD_DIR [WORK_DIR] [WIDTH HEIGHT]}
work=${2:-/tmp/pixmend-bigscan}
width=${3:-7016}
height=${4:-9921}
parts=${PARTS:-transform descreen}
limit=${LIMIT:-1200M}
cli=$build/cli/pixmend-cli
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$work/out"
scan=$work/scan-${width}x${height}
for ext in jpg png tif; do
    case " $parts " in *" descreen "*) ;; *) [ "$ext" = jpg ] || continue ;; esac
    [ -f "$scan.$ext" ] || "$build/tools/pixmend-make-sample" "$scan.$ext" "$width" "$height"
done

store_mb=$(( width * height * 12 / 1000000 ))
echo "image $width x $height; the store's three planes: $store_mb MB"
# Runs a command under /usr/bin/time; sets peak_mb, wall and status.
run() {
    status=0
    /usr/bin/time -v "$@" --quiet 2>"$work/time.txt" >/dev/null || status=$?
    peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.txt")
    peak_mb=$(( peak_kb * 1024 / 1000000 ))
}
measure() {
    label=$1
    shift
    run "$@"
    [ "$status" = 0 ] || { cat "$work/time.txt"; exit 1; }
    echo "$label: peak $peak_mb MB ($(( peak_mb * 100 / store_mb ))% of the store), $wall"
}
# The same under the memory limit: written within it, or refused with the
# tool's message (its first line naming the memory).
measure_limited() {
    label=$1
    shift
    run "$cli" "$@" --max-memory "$limit"
    limit_mb=$(( $(echo "$limit" | sed 's/[Mm]$//') * 1048576 / 1000000 ))
    within="within the limit of $limit_mb MB"
    [ "$peak_mb" -le "$limit_mb" ] || within="BEYOND THE LIMIT of $limit_mb MB"
    if [ "$status" = 0 ]; then
        echo "$label: peak $peak_mb MB, $within, $wall"
    elif grep -qi 'memory' "$work/time.txt"; then
        echo "$label: refused, peak $peak_mb MB, $within, $wall"
        echo "    $(grep -i 'memory' "$work/time.txt" | head -1)"
    else
        cat "$work/time.txt"
        exit 1
    fi
}
case " $parts " in *" transform "*)
    measure "spectrum -> .npy" "$cli" spectrum "$scan.jpg" -o "$work/out/spectrum.npy"
    measure "spectrum -> .bmp" "$cli" spectrum "$scan.jpg" -o "$work/out/spectrum.bmp"
    measure "apply -> .jpg   " "$cli" apply "$here/samples/halftone.flt" "$scan.jpg" \
        -o "$work/out" --jobs 1
    ;;
esac
case " $parts " in *" descreen "*)
    for ext in jpg png tif; do
        measure "descreen .$ext         " "$cli" descreen "$scan.$ext" -o "$work/out" --jobs 1
        measure_limited "descreen .$ext $limit" descreen "$scan.$ext" -o "$work/out" --jobs 1
    done
    ;;
esac
