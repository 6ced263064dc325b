#!/usr/bin/env bash
# A true 4:3 picture on any screen: full screen on a 16:9 display, a 4:3
# window, and a wide window made tall while the show plays. The show is
# paused and stopped; the frame on screen must be the show's frame at the
# time it stopped, centred in its 4:3 area, with black bars around it.
set -euo pipefail
exe=$1 data=$2
if [ -z "${BAUBLES_INSIDE_X:-}" ]; then
  BAUBLES_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 1920x1080x24 -br" bash "$0" "$@"
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$data"
fail() { echo "aspect: $*"; exit 1; }

# check NAME AREA(WxH+X+Y) [ARGS...]: play, pause at about 3 s, screenshot,
# stop; then compare with a shot of the same frame.
check() {
  local name=$1 area=$2
  shift 2
  SDL_AUDIODRIVER=dummy "$exe" "$@" 2>"$out/$name.err" &
  local pid=$! win=""
  for _ in $(seq 1 200); do
    win=$(xdotool search --onlyvisible --name '^Hello$' 2>/dev/null | head -1 || true)
    [ -n "$win" ] && break
    sleep 0.1
  done
  [ -n "$win" ] || { kill $pid; fail "$name: no window"; }
  if [ -n "${RESIZE:-}" ]; then sleep 1; xdotool windowsize --sync "$win" ${RESIZE/x/ } 2>/dev/null || xdotool windowsize "$win" ${RESIZE/x/ }; fi
  sleep 2
  xdotool windowfocus --sync "$win" 2>/dev/null || true
  xdotool key --window "$win" space
  sleep 0.5
  import -window root "$out/$name.png"
  xdotool key --window "$win" Escape
  wait $pid || fail "$name: the show did not end cleanly"
  local ms
  ms=$(sed -n 's/.*stopped at \([0-9.]*\) s.*/\1/p' "$out/$name.err" | awk '{ printf "%d", $1 * 1000 + 0.5 }')
  [ -n "$ms" ] || fail "$name: no stop line"
  mkdir -p "$out/$name-shot"
  "$exe" --shots "$out/$name-shot" --at "$ms" --size 640x480 >/dev/null 2>&1
  # The 4:3 area at the show's size, with the clock's corner blacked out in both.
  local hide="rectangle 0,0 160,40"
  convert "$out/$name.png" -crop "$area" +repage -resize '640x480!' -fill black -draw "$hide" "$out/$name-area.png"
  convert "$out/$name-shot/shot-$ms.png" -fill black -draw "$hide" "$out/$name-ref.png"
  local mae
  mae=$( (compare -metric MAE "$out/$name-area.png" "$out/$name-ref.png" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/')
  # Everything outside the area is black.
  local outside
  outside=$(convert "$out/$name.png" -fill black -draw "rectangle $(echo "$area" | awk -F'[x+]' '{ print $3","$4" "$3+$1-1","$4+$2-1 }')" \
            -format '%[fx:maxima]' info:)
  echo "$name: stopped at $ms ms, picture vs shot MAE $mae, brightest pixel outside the picture $outside"
  awk -v m="$mae" -v o="$outside" 'BEGIN { exit !(m < 0.03 && o < 0.04) }' || fail "$name: not the show's 4:3 frame in its place"
}

# Full screen on a 1920x1080 display: software GL shows its 640x480 picture
# at twice its size, 1280x960 in the middle, with bars all round.
check full 1280x960+320+60
# A 4:3 window is all picture (the screen around it is Xvfb's black).
check window 800x600+560+240 --window 800x600
# A 1280x720 window made 700x900 while it plays: bars above and below.
RESIZE=700x900 check resized 700x525+320+367 --window 1280x720
echo "aspect: ok"
