#!/usr/bin/env bash
# Installs what building and playing need, builds the show, and plays it.
# Extra arguments go to the program. With no display to show on, it records
# the whole show to baubles.mp4 instead. (./test.sh brings the test tools.)
set -euo pipefail
cd "$(dirname "$0")"
top=$(pwd)
record=""
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  record="$top/baubles.mp4"
fi
for a in "$@"; do [ "$a" = --record ] && record=given; done
if [ -n "$record" ]; then bash tools/deps.sh record; else bash tools/deps.sh play; fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBAUBLES_REQUIRE_TESTS=OFF >/dev/null
# Only the program and its pictures and track; the tests are ./test.sh's.
cmake --build build -j"$(nproc)" --target baubles assets
# The program finds its pictures and track beside itself (build/data).
if [ $# -eq 0 ] && [ -n "$record" ]; then
  echo "No display found: recording the whole show to $record instead."
  exec build/baubles --record "$record"
fi
exec build/baubles "$@"
