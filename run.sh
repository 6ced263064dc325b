#!/usr/bin/env bash
# Installs what is missing, builds, and plays the show. Extra arguments go to the program.
# With no display to show on, it records the whole show to baubles.mp4 instead.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
top=$(pwd)
# The program finds its pictures and track beside itself (build/data).
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: recording the whole show to $top/baubles.mp4 instead."
  exec build/baubles --record "$top/baubles.mp4"
fi
exec build/baubles "$@"
