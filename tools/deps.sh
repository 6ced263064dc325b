#!/usr/bin/env bash
# Installs the Debian packages that building, playing and testing need, if any is missing.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libsdl2-dev libsdl2-mixer-dev libepoxy-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0
  libfreetype-dev fonts-dejavu-core lame zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  ffmpeg mpg123 sox imagemagick xvfb xauth xdotool procps util-linux perl
)
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
