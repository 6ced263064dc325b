#!/usr/bin/env bash
# --bench prints one start-up line, one line per scene window and the seek
# and recording figures, nothing else on stdout; --start lands on the show at
# that time, and Left jumps five seconds back within half a second.
set -euo pipefail
exe=$1 data=$2
if [ -z "${BAUBLES_INSIDE_X:-}" ]; then
  BAUBLES_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 640x480x24" bash "$0" "$@"
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$data"
fail() { echo "bench/start: $*"; exit 1; }

env -u DISPLAY "$exe" --bench --fps 5 >"$out/all.txt" 2>/dev/null || fail "--bench failed"
cat "$out/all.txt"
# It opens with what the GL can do and the way of drawing chosen, as --gl-info says it.
grep -q '^passes: \(folded\|separate\)$' "$out/all.txt" || fail "no passes line at the head"
env -u DISPLAY "$exe" --gl-info >"$out/info.txt" 2>/dev/null || fail "--gl-info failed"
[ "$(grep ': ' "$out/all.txt")" = "$(cat "$out/info.txt")" ] || fail "the bench's head is not what --gl-info says"
grep -v ': ' "$out/all.txt" >"$out/bench.txt"
[ "$(wc -l <"$out/bench.txt")" = 11 ] || fail "expected 11 lines"
awk 'NR == 1 { if ($1 != "startup_ms" || !($2 > 0)) exit 1; next }
     NR == 10 { if ($1 != "seek_ms" || !($2 > 0)) exit 1; next }
     NR == 11 { if ($1 != "record_speed" || !($2 > 0)) exit 1; next }
     { if ($1 != "window" || $5 != "frames" || !($6 > 0) || $7 != "median_ms" || !($8 > 0) || $9 != "p95_ms" || !($10 >= $8) || $11 != "cpu_median_ms" || !($12 > 0)) exit 1 }' \
  "$out/bench.txt" || fail "malformed bench output"
[ "$(awk 'NR > 1 && NR < 10 { print $4 }' "$out/bench.txt" | tr '\n' ' ')" = \
  "intro landscape driven-strings hanging-bauble single-bauble-1 single-bauble-2 pictures finale " ] || fail "wrong windows"

# --start 22: the logo stands still over the intro by then; a viewer sees it,
# not the frame at 5 s. (Fast-forwarding runs the show's 120 frames a second.)
"$exe" --shots "$out" --at 5000,17500,18000,18500,19000,19500,20000,22000 >/dev/null 2>&1
SDL_AUDIODRIVER=dummy "$exe" --window 640x480 --start 22 2>/dev/null &
pid=$!
win=""
for _ in $(seq 1 1200); do
  win=$(xdotool search --onlyvisible --name '^Hello$' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { kill $pid; fail "no window"; }
sleep 0.5
import -window "$win" "$out/live.png"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Left
sleep 0.5
import -window "$win" "$out/back.png"
xdotool key --window "$win" Escape
wait $pid || fail "the show did not end cleanly"
mae() { (compare -metric MAE "$1" "$2" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/'; }
near=$(mae "$out/live.png" "$out/shot-22000.png")
far=$(mae "$out/live.png" "$out/shot-5000.png")
echo "live frame vs 22 s: $near, vs 5 s: $far"
awk -v n="$near" -v f="$far" 'BEGIN { exit !(n < 0.05 && n < f / 3) }' || fail "--start did not land at 22 s"
# Half a second after Left the show is back near 18 s, where the logo is
# still growing smaller, not standing still as it does from 21 s on.
near=1
for t in 17500 18000 18500 19000 19500 20000; do
  m=$(mae "$out/back.png" "$out/shot-$t.png")
  near=$(awk -v a="$near" -v b="$m" 'BEGIN { print (b < a ? b : a) }')
done
far=$(mae "$out/back.png" "$out/shot-22000.png")
echo "after Left vs 17.5-20 s: $near, vs 22 s: $far"
awk -v n="$near" -v f="$far" 'BEGIN { exit !(n < 0.05 && n < f / 2) }' || fail "Left did not jump back five seconds"
echo "bench/start: ok"
