#!/usr/bin/env bash
# Rewrites the reference frames (tests/data/reference/shot-<ms>.png) from
# the current build, for a change to the picture that is meant. Look at
# every rewritten frame before committing it.
# Usage: tools/update_reference_frames.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
ref="$root/tests/data/reference"
cmake --build "$build" --target baubles assets >/dev/null
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
bash "$root/tests/frames/render.sh" "$build/baubles" "$build/data" "$tmp"
grep -v '^#' "$ref/times.txt" | awk 'NF {print $1, $2}' | while read -r t name; do
  cp "$tmp/shot-$t.png" "$ref/shot-$t.png"
  echo "rewrote shot-$t.png ($name)"
done
