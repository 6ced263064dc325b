#!/usr/bin/env bash
# Screenshots need no display: the show runs on the fixed-step clock and
# writes one PNG of the requested size per requested time.
set -euo pipefail
exe=$1 data=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p "$data"
cd "$data"
env -u DISPLAY SDL_AUDIODRIVER=dummy "$exe" --shots "$out" --at 500,26000 --size 320x240 --fps 30
for t in 500 26000; do
  f="$out/shot-$t.png"
  [ -s "$f" ] || { echo "missing $f"; exit 1; }
  size=$(identify -format '%wx%h' "$f")
  [ "$size" = "320x240" ] || { echo "$f is $size, not 320x240"; exit 1; }
done
# Bad options: usage and exit code 2.
set +e
"$exe" --shots "$out" >/dev/null 2>&1; [ $? -eq 2 ] || { echo "--shots without --at should exit 2"; exit 1; }
"$exe" --bogus >/dev/null 2>&1; [ $? -eq 2 ] || { echo "unknown option should exit 2"; exit 1; }
"$exe" --shots "$out" --at 1 --size 12x9999999 >/dev/null 2>&1; [ $? -eq 2 ] || { echo "bad size should exit 2"; exit 1; }
echo "shots: ok"
