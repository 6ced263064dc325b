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
# A shot is the show's frame whatever came before it: alone or after another
# shot at a rate that skips frames, 30 s comes out the same (the loading
# picture belongs under the opening frame, not the first one drawn).
mkdir "$out/alone" "$out/after"
"$exe" --shots "$out/alone" --at 30000 --size 320x240 >/dev/null 2>&1
"$exe" --shots "$out/after" --at 4000,30000 --size 320x240 --fps 60 >/dev/null 2>&1
ae=$(compare -metric AE "$out/alone/shot-30000.png" "$out/after/shot-30000.png" null: 2>&1 || true)
[ "$ae" = 0 ] || { echo "the shot at 30 s depends on what was drawn before it ($ae pixels differ)"; exit 1; }
# The bodies move between the physics' ticks: 120 show frames from 245 s,
# with the finale's camera still, are 120 different pictures; drawn as the
# ticks land (--ticks), only as many as there were ticks and lamp flickers.
at=$(awk 'BEGIN { for (k = 29400; k < 29520; ++k) printf "%s%d", (k > 29400 ? "," : ""), int(k * 1000 / 120) }')
distinct() { rm -rf "$out/run" && mkdir "$out/run" && "$exe" --shots "$out/run" --at "$at" --size 160x120 "$@" >/dev/null 2>&1 &&
             md5sum "$out"/run/*.png | awk '{print $1}' | sort -u | wc -l; }
smooth=$(distinct) ticked=$(distinct --ticks)
[ "$smooth" -ge 100 ] || { echo "only $smooth of 120 frames differ while the bodies move"; exit 1; }
[ "$ticked" -le 25 ] || { echo "--ticks gave $ticked different frames, not one per tick"; exit 1; }
# Lines are as thick against the picture at any size: the strings at 80 s
# are 1 pixel across at 640x480 and 3 at 1920x1440 (narrow runs of their
# red across one row, a twelfth of the way down).
stringWidths() { convert "$1" -crop "x1+0+$2" +repage -depth 8 txt:- | tail -n +2 |
  awk '{ gsub(/[(),]/, " "); split($0, f, " "); r = f[3]; g = f[4]; b = f[5];
         if (r > 90 && r > g + 40 && r > b + 40) n++; else { if (n > 0 && n <= 6) printf "%d ", n; n = 0 } }'; }
"$exe" --shots "$out/small" --at 80000 --size 640x480 >/dev/null 2>&1
"$exe" --shots "$out/large" --at 80000 --size 1920x1440 >/dev/null 2>&1
small=$(stringWidths "$out/small/shot-80000.png" 40) large=$(stringWidths "$out/large/shot-80000.png" 120)
[ -n "$small" ] && [ -z "$(tr -d '1 ' <<<"$small")" ] || { echo "strings at 640x480 are not 1 pixel: $small"; exit 1; }
[ -n "$large" ] && [ -z "$(tr -d '234 ' <<<"$large")" ] || { echo "strings at 1920x1440 are not 3 (+-1) pixels: $large"; exit 1; }
# Bad options: usage and exit code 2.
set +e
"$exe" --shots "$out" >/dev/null 2>&1; [ $? -eq 2 ] || { echo "--shots without --at should exit 2"; exit 1; }
"$exe" --bogus >/dev/null 2>&1; [ $? -eq 2 ] || { echo "unknown option should exit 2"; exit 1; }
"$exe" --shots "$out" --at 1 --size 12x9999999 >/dev/null 2>&1; [ $? -eq 2 ] || { echo "bad size should exit 2"; exit 1; }
# Folded passes asked of a GL that cannot read the pixel under a fragment:
# refused before the load, saying why; the separate passes still draw.
msg=$(MESA_EXTENSION_OVERRIDE=-GL_EXT_shader_framebuffer_fetch "$exe" --shots "$out/nofetch" --at 1000 --passes folded 2>&1)
[ $? -eq 2 ] && grep -q "framebuffer_fetch" <<<"$msg" || { echo "--passes folded without the extension: $msg"; exit 1; }
[ ! -e "$out/nofetch" ] || { echo "the refused run left its folder"; exit 1; }
MESA_EXTENSION_OVERRIDE=-GL_EXT_shader_framebuffer_fetch "$exe" --shots "$out/nofetch" --at 1000 >/dev/null 2>&1 &&
  [ -s "$out/nofetch/shot-1000.png" ] || { echo "the separate passes did not draw where folding cannot"; exit 1; }
# The live show with no display: one line saying so, pointing elsewhere, and a failure code.
set +e
msg=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" 2>&1 >/dev/null | grep -v XDG_RUNTIME_DIR)
code=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" >/dev/null 2>&1; echo $?)
set -e
[ "$code" -ne 0 ] || { echo "the live show without a display exited 0"; exit 1; }
[ "$(printf '%s\n' "$msg" | wc -l)" -eq 1 ] || { echo "expected one line, got: $msg"; exit 1; }
printf '%s' "$msg" | grep -q -- "no display" || { echo "unclear message: $msg"; exit 1; }
printf '%s' "$msg" | grep -q -- "--record" || { echo "the message does not point to --record: $msg"; exit 1; }
echo "shots: ok"
