#!/usr/bin/env bash
# The Windows program under Wine, against the Linux one built beside it:
# builds the zip (tools/windows/build.sh, its libraries cached in the build
# tree), unpacks it into a fresh folder whose name is not ASCII, and checks
# that the frames, the exit codes of hostile uses and the live show's music
# come out as on Linux. The --bench figures of both are printed side by side.
# Usage: check.sh NATIVE_EXE DATA_DIR BUILD_DIR TRACK_TIME_EXE
set -uo pipefail
native=$(realpath "$1") data=$(realpath "$2") build=$(realpath "$3") track_time=$(realpath "$4")
root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "windows: $*"; failures=$((failures + 1)); }
failures=0

bash "$root/tools/windows/build.sh" "$build" "$build/windows" >"$build/windows-build.log" 2>&1 ||
  { cat "$build/windows-build.log"; echo "windows: the cross build failed"; exit 1; }
zip=$(tail -1 "$build/windows-build.log")
for p in wine64 xvfb xauth mpg123 imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    { echo "windows: $p is missing (tools/deps.sh test installs it)"; exit 1; }
done

out=$(mktemp -d)
export WINEPREFIX=$build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xpid=""
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT

# Unpacked where the path has letters beyond ASCII; run from another folder,
# so the pictures and the track are found beside the program.
home="$out/Pokaz ąę"
mkdir -p "$home" "$out/work"
unzip -q "$zip" -d "$home" || { echo "windows: the zip does not unpack"; exit 1; }
app=$(find "$home" -maxdepth 2 -name baubles.exe | head -1)
[ -n "$app" ] && [ -d "$(dirname "$app")/data/Images" ] && [ -f "$(dirname "$app")/README.txt" ] ||
  { echo "windows: the zip lacks the program, its data or README.txt"; exit 1; }
for dll in $(x86_64-w64-mingw32-objdump -p "$app" | sed -n 's/^\s*DLL Name: //p'); do
  case "$dll" in
    SDL2*|libepoxy*|libwinpthread*) [ -f "$(dirname "$app")/$dll" ] || fail "$dll is not in the zip" ;;
  esac
done

# A private X server: GL under Wine needs a display, even for a window never shown.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$out/display" 2>/dev/null &
xpid=$!
for _ in $(seq 1 100); do [ -s "$out/display" ] && break; sleep 0.05; done
[ -s "$out/display" ] || { echo "windows: Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$out/display")
wineboot -i >/dev/null 2>&1
win() { (cd "$out/work" && timeout 600 wine "$app" "$@"); }
lin() { (cd "$data" && env -u DISPLAY timeout 600 "$native" "$@"); }

# Frames: one moment per scene window, mean absolute error against Linux's;
# written into a folder whose name is not ASCII either.
times=$(grep -v '^#' "$root/tests/data/reference/times.txt" | awk 'NF {print $1}' | paste -sd, -)
start=$(date +%s)
SDL_AUDIODRIVER=dummy win --shots "$home/zdjęcia" --at "$times" --size 320x240 >"$out/shots.log" 2>&1 ||
  { cat "$out/shots.log"; fail "--shots under Wine failed"; }
wine_s=$(($(date +%s) - start))
start=$(date +%s)
SDL_AUDIODRIVER=dummy lin --shots "$out/lin-shots" --at "$times" --size 320x240 >/dev/null 2>&1 || fail "--shots on Linux failed"
lin_s=$(($(date +%s) - start))
identical=0
worst=0
for t in ${times//,/ }; do
  a="$home/zdjęcia/shot-$t.png" b="$out/lin-shots/shot-$t.png"
  [ -s "$a" ] && [ -s "$b" ] || { fail "no shot at $t ms"; continue; }
  mae=$(compare -metric MAE "$a" "$b" null: 2>&1 | sed -n 's/.*(\(.*\))/\1/p')
  if awk -v m="$mae" 'BEGIN { exit !(m > 0.002) }'; then fail "the frame at $t ms differs from Linux's: MAE $mae"; fi
  [ "$mae" = 0 ] && identical=$((identical + 1))
  worst=$(awk -v a="$worst" -v b="$mae" 'BEGIN { print (b > a ? b : a) }')
done
echo "windows: $identical of $(wc -w <<<"${times//,/ }") frames identical to Linux's, worst MAE $worst; --shots took $wine_s s under Wine, $lin_s s on Linux"

# Hostile uses: the same exit code as Linux, and the same files after.
hostile() {  # NAME SETUP ARGS...: SETUP prepares the folder it is given
  local name=$1 setup=$2
  shift 2
  local w="$out/h-win-$name" l="$out/h-lin-$name"
  mkdir -p "$w" "$l"
  $setup "$w"
  $setup "$l"
  local wargs=("${@//@/$w}") largs=("${@//@/$l}")
  SDL_AUDIODRIVER=dummy win "${wargs[@]}" >"$w.log" 2>&1
  local wc=$?
  SDL_AUDIODRIVER=dummy lin "${largs[@]}" >"$l.log" 2>&1
  local lc=$?
  [ "$wc" = "$lc" ] || { fail "$name: exit $wc under Wine, $lc on Linux"; sed 's/^/  /' "$w.log"; }
  [ "$(cd "$w" && find . | sort)" = "$(cd "$l" && find . | sort)" ] ||
    fail "$name: other files than on Linux: $(cd "$w" && find . | sort | tr '\n' ' ')"
}
folderAtName() { mkdir -p "$1/shot-1000.png"; }
readOnlyTarget() { echo old >"$1/shot-1000.png"; chmod 0444 "$1/shot-1000.png"; }
nameExists() { echo old >"$1/shot-1000.png"; }
nothing() { :; }
hostile folder-at-name folderAtName --shots @ --at 1000 --size 160x120
hostile read-only-target readOnlyTarget --shots @ --at 1000 --size 160x120
hostile name-exists nameExists --shots @ --at 1000 --size 160x120
hostile bad-size nothing --shots @ --at 1000 --size 12x9999999
hostile folder-to-make nothing --shots @/a/b --at 1000 --size 160x120
[ "$(head -c 4 "$out/h-win-name-exists/shot-1000.png" | tail -c 3)" = PNG ] || fail "name-exists: the old file was not replaced by a PNG"
[ "$(head -c 4 "$out/h-win-read-only-target/shot-1000.png" | tail -c 3)" = PNG ] ||
  fail "read-only-target: the old file was not replaced by a PNG"
# Wine's PATH for Windows programs holds its own folders only: no ffmpeg.exe.
WINEPATH= win --record "$out/work/v.mp4" --to 1 >"$out/rec.log" 2>&1
code=$?
[ "$code" = 1 ] && grep -q "needs ffmpeg" "$out/rec.log" && [ ! -e "$out/work/v.mp4" ] ||
  { fail "a recording with no ffmpeg on the PATH gave exit $code"; cat "$out/rec.log"; }

# A recording through an encoder on the PATH (a stand-in for ffmpeg.exe):
# every frame reaches its standard input, the track is handed over by a name
# beyond ASCII, and its output gets the final name; a failing encoder leaves
# nothing and ends the program with 1.
mkdir -p "$out/bin"
x86_64-w64-mingw32-gcc-posix -O2 -municode -o "$out/bin/ffmpeg.exe" "$root/tests/windows/encoder_stand_in.c" ||
  fail "the encoder stand-in does not build"
binpath=$(winepath -w "$out/bin" 2>/dev/null)
WINEPATH="$binpath" win --record "$out/work/v.mp4" --from 290 --to 291 --fps 10 --size 160x120 >"$out/rec2.log" 2>&1
code=$?
track_bytes=$(stat -c %s "$data/muzyka/I po co to.mp3")
[ "$code" = 0 ] && [ "$(cat "$out/work/v.mp4" 2>/dev/null)" = "frame bytes $((160 * 120 * 4 * 10)) track bytes $track_bytes" ] ||
  { fail "a recording through the encoder stand-in: exit $code, output '$(cat "$out/work/v.mp4" 2>/dev/null)'"; cat "$out/rec2.log"; }
STAND_IN_EXIT=1 WINEPATH="$binpath" win --record "$out/work/v2.mp4" --from 290 --to 291 --fps 10 --size 160x120 \
  >"$out/rec3.log" 2>&1
code=$?
[ "$code" = 1 ] && [ -z "$(ls -A "$out/work" | grep -v '^v.mp4$')" ] ||
  { fail "a failing encoder: exit $code, left $(ls -A "$out/work" | tr '\n' ' ')"; cat "$out/rec3.log"; }

# Spoiled and missing data, in a copy of the unpacked folder: the show goes
# on as on Linux, saying what it missed.
spoiled="$out/spoiled ż"
cp -r "$(dirname "$app")" "$spoiled"
cp -r "$data" "$out/lin-spoiled"
for d in "$spoiled/data" "$out/lin-spoiled"; do
  rm -f "$d/muzyka/"*.mp3
  bmp=$(cd "$d/Images" && ls | sort | head -1)
  head -c 200 "$d/Images/$bmp" >"$d/Images/$bmp.cut" && mv "$d/Images/$bmp.cut" "$d/Images/$bmp"
done
(cd "$out/work" && SDL_AUDIODRIVER=dummy timeout 600 wine "$spoiled/baubles.exe" --shots "$out/sp-win" --at 4000 --size 160x120) \
  >"$out/sp-win.log" 2>&1
wc=$?
(cd "$out/lin-spoiled" && SDL_AUDIODRIVER=dummy env -u DISPLAY timeout 600 "$native" --shots "$out/sp-lin" --at 4000 --size 160x120) \
  >"$out/sp-lin.log" 2>&1
lc=$?
[ "$wc" = "$lc" ] && [ "$(grep -c baubles: "$out/sp-win.log")" = "$(grep -c baubles: "$out/sp-lin.log")" ] ||
  { fail "spoiled data: exit $wc under Wine, $lc on Linux"; cat "$out/sp-win.log"; }

# The live show from 290 s to its end, its sound written by SDL's disk
# driver: it ends by itself with 0, and its music starts at the same place
# in the track as on Linux's.
mpg123 -q -s -r 44100 --stereo -e s16 "$data/muzyka/I po co to.mp3" >"$out/track.raw" 2>/dev/null
(cd "$out/work" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$(winepath -w "$out/win.raw" 2>/dev/null)" \
  timeout 120 wine "$app" --window 640x480 --start 290) >"$out/live-win.log" 2>&1
wc=$?
(cd "$data" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/lin.raw" timeout 120 "$native" --window 640x480 --start 290) \
  >"$out/live-lin.log" 2>&1
lc=$?
[ "$wc" = 0 ] || { fail "the live show under Wine ended with $wc"; cat "$out/live-win.log"; }
[ "$lc" = 0 ] || fail "the live show on Linux ended with $lc"
read -r wt wcorr < <("$track_time" "$out/track.raw" "$out/win.raw" 290 || echo "-1 0")
read -r lt lcorr < <("$track_time" "$out/track.raw" "$out/lin.raw" 290 || echo "-1 0")
echo "windows: the live show's music starts at track time $wt s under Wine (match $wcorr), $lt s on Linux (match $lcorr)"
awk -v a="$wt" -v b="$lt" -v ca="$wcorr" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= 0.040 && ca > 0.9 && a > 289.9) }' ||
  fail "the music under Wine is not where Linux's is (within 40 ms)"

# The benchmark's frame times, side by side: figures, not a pass or fail,
# so the test run leaves them out (about a minute) unless
# BAUBLES_WINDOWS_BENCH=1 asks for them.
if [ "${BAUBLES_WINDOWS_BENCH:-0}" != 0 ]; then
  SDL_AUDIODRIVER=dummy win --bench --fps 5 2>/dev/null | grep -v ': ' >"$out/bench-win.txt"
  SDL_AUDIODRIVER=dummy lin --bench --fps 5 2>/dev/null | grep -v ': ' >"$out/bench-lin.txt"
  # Each scene window's median frame time, and the one's over the other's.
  awk 'NR == FNR { if ($1 == "window") wine[$4] = $8; next }
       $1 == "window" && ($4 in wine) { printf "windows: bench %s: median %s ms under Wine, %s ms on Linux, %.2fx\n", $4, wine[$4], $8, wine[$4] / $8 }' \
    "$out/bench-win.txt" "$out/bench-lin.txt"
fi

[ "$failures" = 0 ] && echo "windows: ok"
[ "$failures" = 0 ]
