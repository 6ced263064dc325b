#!/usr/bin/env bash
# The --shots runs of the show for the frames suite, one per way of drawing
# the blended passes (folded into OUT_DIR, separate into OUT_DIR/separate):
# the reference moments (tests/data/reference/times.txt) and the moments
# its other checks read, at 320x240 and the default 120 frames a second.
# Usage: render.sh BAUBLES_EXE DATA_DIR OUT_DIR
set -euo pipefail
exe=$(realpath "$1") data=$(realpath "$2") out=$(realpath -m "$3")
here=$(cd "$(dirname "$0")" && pwd)
# 30 s: the storm's left side; 221 s: the finale's letter tiles.
checks="30000 221000"
times=$( (grep -v '^#' "$here/../data/reference/times.txt" | awk 'NF {print $1}'; printf '%s\n' $checks) |
  sort -n | uniq | paste -sd, -)
rm -rf "$out"
mkdir -p "$out"
cd "$data"
env -u DISPLAY SDL_AUDIODRIVER=dummy "$exe" --shots "$out" --at "$times" --size 320x240 --passes folded
env -u DISPLAY SDL_AUDIODRIVER=dummy "$exe" --shots "$out/separate" --at "$times" --size 320x240 --passes separate
