#!/usr/bin/env bash
# The plain show on a real X server: a window titled "Hello" covering the
# screen; F makes it a window that fits the screen; Escape ends it with exit
# code 0.
set -euo pipefail
exe=$1 data=$2
if [ -z "${BAUBLES_INSIDE_X:-}" ]; then
  BAUBLES_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 800x600x24" bash "$0" "$@"
fi
mkdir -p "$data"
cd "$data"
SDL_AUDIODRIVER=dummy "$exe" 2>/tmp/baubles-escape.err &
pid=$!
win=""
for _ in $(seq 1 200); do
  win=$(xdotool search --onlyvisible --name '^Hello$' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "no window named Hello"; kill $pid; exit 1; }
read -r sw sh < <(xdotool getdisplaygeometry)
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "window ${WIDTH}x${HEIGHT} at ${X},${Y} on a ${sw}x${sh} screen"
[ "$WIDTH" -eq "$sw" ] && [ "$HEIGHT" -eq "$sh" ] || { echo "window does not cover the screen"; kill $pid; exit 1; }
sleep 1
xdotool key --window "$win" x   # other keys change nothing
sleep 0.3
kill -0 $pid || { echo "a key other than Escape ended the show"; exit 1; }
# F leaves full screen for a window that fits on the screen, centred.
xdotool key --window "$win" f
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
echo "after F: window ${WIDTH}x${HEIGHT} at ${X},${Y}"
if [ "$WIDTH" -ge "$sw" ] || [ "$X" -lt 0 ] || [ "$Y" -lt 0 ] || [ $((X + WIDTH)) -gt "$sw" ] || [ $((Y + HEIGHT)) -gt "$sh" ] ||
   [ $(( (X + WIDTH / 2 - sw / 2) ** 2 )) -gt 64 ]; then
  echo "the window left by full screen does not fit the screen, centred"; kill $pid; exit 1
fi
start=$(date +%s%N)
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Escape
for _ in $(seq 1 40); do kill -0 $pid 2>/dev/null || break; sleep 0.05; done
if kill -0 $pid 2>/dev/null; then echo "Escape did not end the show"; kill $pid; exit 1; fi
wait $pid; code=$?
ms=$(( ($(date +%s%N) - start) / 1000000 ))
echo "exit code $code after ${ms} ms"
[ "$code" -eq 0 ]
