#!/usr/bin/env bash
# Builds the Debian package, checks it (desktop-file-validate, appstreamcli,
# lintian), installs it with apt, runs the installed command-line tool on the
# installed sample and removes the package again. The package lands in
# build/deb/pixmend_<version>_<arch>.deb.
#
#   bash scripts/package-deb.sh            build, check, install, try, remove
#   PIXMEND_KEEP_INSTALLED=1 bash ...      leave the package installed
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

bash scripts/install-deps.sh
# What building and checking a package needs beyond the build itself.
tools=(dpkg-dev file desktop-file-utils appstream lintian)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build=build/deb
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DPIXMEND_BUILD_TESTS=OFF -DPIXMEND_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "${PIXMEND_JOBS:-2}"
rm -f "$build"/pixmend_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/pixmend_*.deb)
echo "Built $deb"
dpkg-deb --field "$deb" Depends

# The installed files as the desktop and the software centre read them.
stage=$(mktemp -d)
out=$(mktemp -d)
installed_here=0
cleanup() {
  rm -rf "$stage" "$out"
  if [ "$installed_here" = 1 ] && [ "${PIXMEND_KEEP_INSTALLED:-0}" != 1 ]; then
    echo "Removing the package again."
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq pixmend >/dev/null
  fi
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$stage"
desktop-file-validate "$stage"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$stage"/usr/share/metainfo/*.metainfo.xml
# Errors fail the run; warnings are printed.
lintian --fail-on error "$deb"

# Install, try, remove.
DEBIAN_FRONTEND=noninteractive $sudo apt install -y -qq "./$deb"
installed_here=1
pixmend --version
pixmend-cli --help
pixmend-cli apply /usr/share/pixmend/samples/halftone.flt /usr/share/pixmend/samples/halftone.bmp -o "$out"
test -s "$out/halftone.bmp"
echo "The installed programs work: $out/halftone.bmp was written."
