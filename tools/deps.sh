#!/usr/bin/env bash
# Installs the Debian packages that are missing for one purpose:
#   tools/deps.sh               building and playing the show (./run.sh)
#   tools/deps.sh record        that, and ffmpeg for --record
#   tools/deps.sh test          all of it, and every test's libraries and tools (./test.sh)
#   tools/deps.sh --list test   prints the test-only packages, installing nothing
set -euo pipefail
BUILD=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-mixer-dev libepoxy-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra lame zlib1g-dev
)
RECORD=(ffmpeg)
# The tests: GoogleTest and Google Benchmark, the sanitizer and fuzzing
# compiler, the tools the end-to-end scripts drive and measure with, and the
# checkers of the Debian package, its launcher, metadata and manual; the
# Windows cross-compiler, the tools that build its libraries and Wine.
TEST=(
  clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev
  mpg123 sox imagemagick xvfb xauth xdotool procps util-linux perl
  lintian desktop-file-utils appstream man-db
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev meson ninja-build zip unzip wine64
)

case "${1:-play}" in
  play) PACKAGES=("${BUILD[@]}") ;;
  record) PACKAGES=("${BUILD[@]}" "${RECORD[@]}") ;;
  test) PACKAGES=("${BUILD[@]}" "${RECORD[@]}" "${TEST[@]}") ;;
  --list)
    [ "${2:-}" = test ] || { echo "usage: $0 --list test" >&2; exit 2; }
    printf '%s\n' "${TEST[@]}"
    exit 0 ;;
  *) echo "usage: $0 [play|record|test|--list test]" >&2; exit 2 ;;
esac

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
