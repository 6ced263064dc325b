#!/usr/bin/env bash
# Missing pictures and a missing or broken track: the show still starts, runs
# and ends after 300 s with exit code 0, drawing what it has.
set -euo pipefail
exe=$1 data=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "missing assets: $*"; exit 1; }

# Nothing at all: no pictures, no track.
mkdir -p "$out/empty"
(cd "$out/empty" && "$exe" --bench --fps 5 >"$out/empty.txt" 2>"$out/empty.err") || fail "the show without assets failed"
[ "$(grep -c '^window' "$out/empty.txt")" = 8 ] || fail "the show without assets did not run to its end"

# One picture missing at a time, for a picture of each kind, looked at in its scene.
for missing in Bombka.bmp m.bmp m_alpha.bmp Terrain.bmp Dorovan2.bmp logo_alpha.bmp Lampka.bmp; do
  rm -rf "$out/some" && mkdir -p "$out/some" && cp -r "$data/Images" "$out/some/" && rm "$out/some/Images/$missing"
  (cd "$out/some" && "$exe" --shots "$out/some" --at 3000,20000,30000,100000,130000,210000,240000 --fps 5 --size 160x120 \
    2>"$out/some.err") || { cat "$out/some.err"; fail "the show without $missing failed"; }
  [ -s "$out/some/shot-240000.png" ] || fail "no frame without $missing"
done

echo "missing assets: ok"
