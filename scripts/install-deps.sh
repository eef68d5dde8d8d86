#!/usr/bin/env bash
# Installs the Debian packages Pixmend needs to build, test and run.
# Only installs what is missing, so it is cheap to call before every build.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-image-formats-plugins
  libjpeg62-turbo-dev libpng-dev libtiff-dev libcrypto++-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format clang-tidy python3
)
# Looking at the window program as its user would.
if [ "${PIXMEND_GUI_TOOLS:-0}" = 1 ]; then
  packages+=(xvfb xdotool imagemagick)
fi
# The fuzz targets (scripts/fuzz.sh): libFuzzer comes with clang, GCC has
# nothing like it. The normal build and test run do not need it.
if [ "${PIXMEND_FUZZ:-0}" = 1 ]; then
  packages+=(clang)
fi
# The archive recipes' checks (scripts/check-recipes.sh) run the README's job
# array on a real single-node Slurm (munge for its authentication) and its
# GNU parallel line; python3 reads their JSON reports back.
if [ "${PIXMEND_RECIPES:-0}" = 1 ]; then
  packages+=(slurmctld slurmd slurm-client munge parallel python3)
fi
# The photographs the descreening benchmark prints and scans by default
# (bench/descreen_quality.cpp).
if [ "${PIXMEND_BENCH_DATA:-0}" = 1 ]; then
  packages+=(mate-backgrounds opencv-doc)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
