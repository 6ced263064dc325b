#!/usr/bin/env bash
# The live show's window as a viewer handles it: paused, hidden and shown
# again, its picture comes back at once; hidden while playing, it costs next
# to nothing; a stop signal says where the show stopped, as Escape does.
set -euo pipefail
exe=$1 data=$2
if [ -z "${BAUBLES_INSIDE_X:-}" ]; then
  BAUBLES_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$@"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$data"
SDL_AUDIODRIVER=dummy "$exe" --window 640x480 --start 40 2>"$work/err" &
pid=$!
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Hello$' | head -1 || true)
[ -n "$win" ] || { echo "no window named Hello"; kill $pid; exit 1; }
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
shot() { import -window "$win" "$1"; }

# Paused, unmapped and mapped again: drawn again within 100 ms.
sleep 1
xdotool key --window "$win" space
sleep 0.5
shot "$work/paused.png"
xdotool windowunmap --sync "$win"
sleep 0.3
xdotool windowmap --sync "$win"
sleep 0.1
shot "$work/exposed.png"
mean=$(convert "$work/exposed.png" -format "%[fx:mean]" info:)
mae=$(compare -metric MAE "$work/paused.png" "$work/exposed.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/' || true)
echo "paused picture mean $(convert "$work/paused.png" -format "%[fx:mean]" info:), after the expose $mean, MAE $mae"
awk -v m="$mean" 'BEGIN { exit !(m > 0.1) }' || { echo "the paused picture was not drawn again"; kill $pid; exit 1; }
awk -v e="$mae" 'BEGIN { exit !(e < 0.02) }' || { echo "the picture drawn again is not the paused one"; kill $pid; exit 1; }

# Playing: CPU over three seconds seen, then three seconds hidden.
xdotool key --window "$win" space
sleep 0.5
c0=$(cpu); sleep 3; c1=$(cpu)
xdotool windowunmap --sync "$win"
sleep 0.5
c2=$(cpu); sleep 3; c3=$(cpu)
xdotool windowmap --sync "$win"
seen=$((c1 - c0)) hidden=$((c3 - c2))
echo "CPU ticks in 3 s: $seen seen, $hidden hidden"
[ $((hidden * 4)) -lt "$seen" ] || { echo "hidden, the show still costs a quarter or more"; kill $pid; exit 1; }
kill -0 $pid || { echo "the show ended while hidden"; exit 1; }

# SIGTERM (a background job here ignores SIGINT): the stop line, and the
# signal's exit code.
sleep 0.5
kill -TERM $pid
code=0
wait $pid || code=$?
cat "$work/err" | grep -v CRITICAL || true
[ "$code" -eq 143 ] || { echo "exit code $code after SIGTERM"; exit 1; }
grep -q "^baubles: stopped at [0-9.]* s; --start" "$work/err" || { echo "no stop line after SIGTERM"; exit 1; }
echo "ok"
