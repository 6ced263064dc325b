#!/usr/bin/env bash
# Hostile and careless use, grouped: bad usage, output paths and links, a full
# disk, stop signals in every mode, FIFOs and oversized assets, odd
# environments. Across all of them: no crash, no hang, no partial or private
# file left, no target clobbered; bad usage exits 2 before the start-up load,
# and every stop ends within half a second with 128 + the signal.
set -uo pipefail
exe=$1 data=$2
out=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  chmod -R u+w "$out" 2>/dev/null
  rm -rf "$out"
}
trap cleanup EXIT
failures=0 checks=0 slowest=0 slowest_name=""
fail() { echo "hostile: $*"; failures=$((failures + 1)); }
check() { checks=$((checks + 1)); }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Private files left in a folder (hidden names), as a list.
leftovers() { find "$1" -maxdepth 1 -name '.*' ! -name . -printf '%f\n' 2>/dev/null; }
# Put before a command: runs it with the stop signals in their default
# state, as a script's background jobs start with SIGINT and SIGQUIT ignored.
# (perl execs the command, so $! is the program itself.)
with_signals=(perl -e '$SIG{INT} = $SIG{QUIT} = "DEFAULT"; exec @ARGV' --)
have() { command -v "$1" >/dev/null; }
# The encoder started by process $1, once it runs (the start-up load comes first).
encoder_of() {
  local c=""
  for _ in $(seq 200); do
    c=$(pgrep -P "$1" ffmpeg) && break
    sleep 0.05
  done
  echo "$c"
}
# Cases per group, for the closing summary.
summary="" group_name="" group_start=0 group_failures=0
group() {
  [ -n "$group_name" ] &&
    summary+="$group_name $((checks - group_start)) cases, $((failures - group_failures)) failed; "
  group_name=$1 group_start=$checks group_failures=$failures
}
cd "$data"

# ---- usage: every bad command line exits 2 before the platform opens -------
group "usage"
# With no EGL library the platform cannot open (exit 1), so an exit 2 here
# proves the check came first, before any start-up load.
mkdir -p "$out/u/dir" "$out/u/shots"
touch "$out/u/file"
mkfifo "$out/u/fifo"
echo precious >"$out/u/target"
ln -s "$out/u/target" "$out/u/link"
ln -s "$out/u/target" "$out/u/shots/shot-0.png"
ln -s "$out/u/missing-target" "$out/u/dangling"
[ "$(id -u)" = 0 ] && mknod "$out/u/null" c 1 3 2>/dev/null
refused() {
  check
  SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so timeout 10 "$exe" "$@" >/dev/null 2>"$out/u.log"
  local code=$?
  [ "$code" = 2 ] || { fail "usage: '$*' exited $code, not 2"; cat "$out/u.log"; }
  grep -q . "$out/u.log" || fail "usage: '$*' said nothing"
}
root_shot_before=$([ -e /shot-0.png ] && echo yes || echo no)
refused --record ""
refused --record "$out/u/dir"
refused --record "$out/u/dir/"
refused --record "$out/u/fifo"
refused --record "$out/u/link"
refused --record "$out/u/dangling"
refused --record "$out/u/missing/v.mp4"
refused --record "$out/u/file/v.mp4"
refused --record "$out/u/v.mp4" --size 17x17
refused --record "$out/u/v.mp4" --size 640x481
refused --record "$out/u/v.mp4" --shots "$out/u/dir" --at 0
refused --record "$out/u/v.mp4" --bench
refused --bench --shots "$out/u/dir" --at 0
refused --record "$out/u/v.mp4" --from 4 --to 2
refused --shots "" --at 0
refused --shots "$out/u/file" --at 0
refused --shots "$out/u/dir" --at 400000
refused --shots "$out/u/dir" --at 300001
refused --shots "$out/u/shots" --at 0
[ -e "$out/u/null" ] && refused --record "$out/u/null"
[ "$(cat "$out/u/target")" = precious ] || fail "usage: a link's target was overwritten"
[ -L "$out/u/link" ] && [ -L "$out/u/shots/shot-0.png" ] && [ -p "$out/u/fifo" ] || fail "usage: a link or FIFO was replaced"
[ ! -e "$out/u/null" ] || [ -c "$out/u/null" ] || fail "usage: the device node was replaced"
[ -z "$(ls -A "$out/u/dir")" ] || fail "usage: files appeared in a folder: $(ls -A "$out/u/dir")"
[ "$root_shot_before" = yes ] || [ ! -e /shot-0.png ] || fail "usage: an empty folder name wrote /shot-0.png"
[ -z "$(leftovers "$out/u")" ] || fail "usage: private files left: $(leftovers "$out/u")"
SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so "$exe" --shots "$out/u/dir" --at 0 >/dev/null 2>&1
[ $? = 1 ] || fail "usage: the exit-2 cases prove nothing: a good command line did not fail on the missing EGL library"
[ -z "$(ls -A "$out/u/dir")" ] && [ -z "$(leftovers "$out/u")" ] || fail "usage: a failed start left files"

# ---- outputs: an existing file is replaced; a link planted late is not -----
group "outputs"
mkdir -p "$out/o"
have ffmpeg && {
  echo old >"$out/o/r.mp4"
  check
  "$exe" --record "$out/o/r.mp4" --to 0.2 --size 160x120 2>"$out/o.log" || { cat "$out/o.log"; fail "outputs: replacing a regular file failed"; }
  [ "$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name -of csv=p=0 "$out/o/r.mp4")" = h264 ] ||
    fail "outputs: the replaced file is not a video"
  # A link put at the final name while the video is made is left alone.
  echo precious >"$out/o/target"
  check
  "$exe" --record "$out/o/late.mp4" --to 8 --fps 10 --size 160x120 2>"$out/o.log" &
  pid=$!
  sleep 0.5
  if ln -s "$out/o/target" "$out/o/late.mp4" 2>/dev/null; then
    wait $pid
    code=$?
    [ "$code" = 1 ] || fail "outputs: a link planted during the recording gave exit $code, not 1"
    [ -L "$out/o/late.mp4" ] && [ "$(cat "$out/o/target")" = precious ] || fail "outputs: the planted link or its target was replaced"
    grep -q "cannot write $out/o/late.mp4: .*symbolic link" "$out/o.log" || fail "outputs: no reason given for the planted link"
  else
    wait $pid
    echo "hostile: outputs: the recording ended before the link could be planted; that case was not tried"
  fi
}
[ -z "$(leftovers "$out/o")" ] || fail "outputs: private files left: $(leftovers "$out/o")"

# ---- full disk: a small tmpfs, where one can be mounted ----------------------
group "full disk"
# A mount namespace of its own: the tmpfs goes away with it, whatever happens.
mount_cmd=()
if unshare -rm true 2>/dev/null; then
  mount_cmd=(unshare -rm bash -c)
elif [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
  mount_cmd=(unshare -m bash -c)
fi
if [ ${#mount_cmd[@]} -gt 0 ]; then
  mkdir -p "$out/disk"
  check
  check
  "${mount_cmd[@]}" '
    set -u; exe=$1 disk=$2 log=$3
    mount -t tmpfs -o size=200k tmpfs "$disk" || exit 99
    "$exe" --shots "$disk" --at 0,2000,4000,6000,8000,10000,12000 >/dev/null 2>"$log.shots"; echo "shots $?" >"$log"
    ls -A "$disk" >"$log.shotfiles"
    for f in "$disk"/shot-*.png; do [ -e "$f" ] && { identify "$f" >/dev/null 2>&1 || echo "$f" >>"$log.broken"; }; done
    rm -f "$disk"/shot-*.png
    head -c 150k /dev/zero >"$disk/filler"
    if command -v ffmpeg >/dev/null; then
      "$exe" --record "$disk/v.mp4" --to 10 --size 320x240 >/dev/null 2>"$log.record"; echo "record $?" >>"$log"
      ls -A "$disk" >"$log.recordfiles"
    fi
    umount "$disk"' _ "$exe" "$out/disk" "$out/disk.log"
  if [ -s "$out/disk.log" ]; then
    grep -q "shots 1" "$out/disk.log" || fail "full disk: shots did not fail: $(cat "$out/disk.log")"
    grep -q "No space left on device" "$out/disk.log.shots" || fail "full disk: no reason given for the shots"
    [ ! -s "$out/disk.log.broken" ] || fail "full disk: cut PNGs under final names: $(cat "$out/disk.log.broken")"
    ! grep -q '^\.' "$out/disk.log.shotfiles" || fail "full disk: private files left by the shots"
    if [ -e "$out/disk.log.record" ]; then
      grep -q "record 1" "$out/disk.log" || fail "full disk: the recording did not fail: $(cat "$out/disk.log")"
      [ "$(cat "$out/disk.log.recordfiles")" = filler ] || fail "full disk: the recording left $(cat "$out/disk.log.recordfiles")"
    fi
  else
    echo "hostile: full disk: skipped, the tmpfs could not be mounted"
  fi
else
  echo "hostile: full disk: skipped, this machine allows no tmpfs mount (not root, no user namespaces)"
fi

# ---- signals: every mode stops within 0.5 s with 128 + the signal ------------
group "signals"
# stop NAME SIGNAL DELAY FOLDER COMMAND...: starts the command, signals it
# after DELAY seconds, and checks the exit, the time and the folder.
stop() {
  local name=$1 sig=$2 delay=$3 dir=$4
  shift 4
  check
  "${with_signals[@]}" "$@" >/dev/null 2>"$out/stop.log" &
  local pid=$!
  sleep "$delay"
  local t0 t1 code child
  child=$(pgrep -P $pid)
  t0=$(now_ms)
  kill -"$sig" $pid
  wait $pid
  code=$?
  t1=$(now_ms)
  local want=$((128 + $(kill -l "$sig")))
  [ "$code" = "$want" ] || { fail "signals: $name: SIG$sig gave exit $code, not $want"; cat "$out/stop.log"; }
  [ $((t1 - t0)) -le 500 ] || fail "signals: $name: SIG$sig took $((t1 - t0)) ms"
  [ $((t1 - t0)) -gt "$slowest" ] && slowest=$((t1 - t0)) slowest_name="$name, SIG$sig"
  # Complete screenshots taken before the stop may stay; nothing else may.
  local f
  for f in $(ls -A "$dir"); do
    case "$f" in
      shot-*.png) identify "$dir/$f" >/dev/null 2>&1 || fail "signals: $name: a broken $f" ;;
      *) fail "signals: $name: left $f" ;;
    esac
  done
  rm -rf "$dir" && mkdir -p "$dir"
  sleep 0.1
  if [ -n "$child" ] && kill -0 $child 2>/dev/null; then
    fail "signals: $name: ffmpeg still runs"
    kill -KILL $child
  fi
  return 0
}
mkdir -p "$out/s"
# Shots every half second of the show: more than a few seconds of work.
many=$(seq -s, 0 500 299500)
stop "start-up load" TERM 0.2 "$out/s" "$exe" --shots "$out/s" --at "$many"
stop "shots" HUP 2 "$out/s" "$exe" --shots "$out/s" --at "$many"
stop "bench" TERM 2 "$out/s" "$exe" --bench
if have ffmpeg; then
  for sig in INT TERM HUP QUIT; do
    stop "record" $sig 2 "$out/s" "$exe" --record "$out/s/v.mp4" --to 100 --size 160x120
  done
  # A stalled encoder cannot hold up a stop; a killed one is a failure, said so.
  check
  "$exe" --record "$out/s/v.mp4" --to 100 --size 160x120 2>"$out/stall.log" &
  pid=$!
  child=$(encoder_of $pid)
  sleep 0.5
  kill -STOP $child
  sleep 1
  t0=$(now_ms)
  kill -TERM $pid
  wait $pid
  code=$?
  t1=$(now_ms)
  [ "$code" = 143 ] && [ $((t1 - t0)) -le 500 ] || fail "signals: stalled ffmpeg: exit $code after $((t1 - t0)) ms"
  [ $((t1 - t0)) -gt "$slowest" ] && slowest=$((t1 - t0)) slowest_name="stalled ffmpeg"
  sleep 0.1
  ! kill -0 "$child" 2>/dev/null || { fail "signals: the stalled ffmpeg was left running"; kill -KILL "$child"; }
  [ -z "$(ls -A "$out/s")" ] || fail "signals: stalled ffmpeg: left $(ls -A "$out/s")"
  rm -rf "$out/s" && mkdir -p "$out/s"
  check
  "$exe" --record "$out/s/v.mp4" --to 100 --size 160x120 2>"$out/kill.log" &
  pid=$!
  child=$(encoder_of $pid)
  sleep 0.5
  kill -KILL $child
  wait $pid
  code=$?
  [ "$code" = 1 ] || fail "signals: a killed ffmpeg gave exit $code, not 1"
  grep -q "ffmpeg was ended by SIGKILL; $out/s/v.mp4 was not written" "$out/kill.log" || fail "signals: no honest message for a killed ffmpeg"
  [ -z "$(ls -A "$out/s")" ] || fail "signals: killed ffmpeg: left $(ls -A "$out/s")"
  rm -rf "$out/s" && mkdir -p "$out/s"
fi
# The live show and its fast-forward need a display: a virtual one.
if have Xvfb; then
  Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$out/display" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$out/display" ] && break; sleep 0.05; done
fi
if [ -s "$out/display" ]; then
  export DISPLAY=":$(head -n1 "$out/display")"
  SDL_AUDIODRIVER=dummy stop "live show" INT 2.5 "$out/s" "$exe" --window 320x240
  SDL_AUDIODRIVER=dummy stop "later start" QUIT 2.5 "$out/s" "$exe" --window 320x240 --start 150
else
  echo "hostile: signals: the live show and its fast-forward skipped, no Xvfb"
fi

# ---- assets: FIFOs, devices, folders, spoiled and oversized files ------------
group "assets"
mkdir -p "$out/a/muzyka" "$out/a/shots"
cp -r Images "$out/a/"
rm "$out/a/Images/Bombka.bmp" "$out/a/Images/Storm.bmp" "$out/a/Images/Env.bmp" "$out/a/Images/logo.bmp"
mkfifo "$out/a/Images/Bombka.bmp"
ln -s /dev/zero "$out/a/Images/Storm.bmp"
mkdir "$out/a/Images/Env.bmp"
head -c 5000 "$data/Images/Forest.bmp" >"$out/a/Images/logo.bmp"
track="$out/a/muzyka/I po co to.mp3"
mkfifo "$track"
check
(cd "$out/a" && timeout 60 "$exe" --shots "$out/a/shots" --at 0,40000 --size 160x120 >/dev/null 2>"$out/a.log")
code=$?
[ "$code" = 0 ] || fail "assets: shots with spoiled pictures exited $code"
[ -s "$out/a/shots/shot-40000.png" ] || fail "assets: no picture of the valley"
for want in "Images/Bombka.bmp is a FIFO" "Images/Storm.bmp is a character device" "Images/Env.bmp is a folder" \
  "Images/logo.bmp has its pixel data cut short"; do
  [ "$(grep -c "$want" "$out/a.log")" = 1 ] || fail "assets: expected one line '$want'"
done
if have ffmpeg; then
  # Each spoiled track makes a silent video and says why.
  track_case() {
    local why=$1
    check
    (cd "$out/a" && timeout 60 "$exe" --record "$out/a/v.mp4" --to 0.2 --size 160x120 >/dev/null 2>"$out/t.log")
    local code=$?
    [ "$code" = 0 ] || { fail "assets: a track that $why: exit $code"; cat "$out/t.log"; }
    [ "$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$out/a/v.mp4" 2>/dev/null)" = video ] ||
      fail "assets: a track that $why: not a silent video"
    grep -q "muzyka/I po co to.mp3 $why; the video will be silent" "$out/t.log" || fail "assets: no line for a track that $why"
    rm -rf "$out/a/v.mp4" "$track"
  }
  track_case "is a FIFO, not a regular file"
  ln -s /dev/zero "$track" && track_case "is a character device, not a regular file"
  mkdir "$track" && track_case "is a folder, not a regular file"
  : >"$track" && track_case "is empty"
  truncate -s 65M "$track" && track_case "is larger than 64 MB"
  printf 'not a track %.0s' $(seq 8000) >"$track" && track_case "is not a track the player can decode"
fi
if [ -n "${DISPLAY:-}" ] && [ -n "$xvfb_pid" ]; then
  # The live show: a FIFO track neither blocks it nor goes unexplained, and
  # the message box that waits for a click does not hold up a stop.
  mkfifo "$track"
  check
  (cd "$out/a" && SDL_AUDIODRIVER=dummy exec "${with_signals[@]}" "$exe" --window 320x240 >/dev/null 2>"$out/live.log") &
  pid=$!
  for _ in $(seq 50); do grep -q "is a FIFO" "$out/live.log" 2>/dev/null && break; sleep 0.1; done
  grep -q "muzyka/I po co to.mp3 is a FIFO, not a regular file; the show runs silent" "$out/live.log" ||
    fail "assets: the live show said nothing of a FIFO track within 5 s"
  sleep 0.5
  kill -TERM $pid
  wait $pid
  code=$?
  [ "$code" = 143 ] || fail "assets: the live show with a FIFO track ended with $code on SIGTERM"
  rm -f "$track"
fi
[ -z "$(leftovers "$out/a")" ] || fail "assets: private files left"

[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null
unset DISPLAY

# ---- environment: display settings do not matter to offscreen modes ---------
group "environment"
mkdir -p "$out/e"
for driver in x11 wayland dummy; do
  check
  env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=$driver "$exe" --shots "$out/e" --at 0 --size 160x120 >/dev/null 2>"$out/e.log" ||
    { fail "environment: SDL_VIDEODRIVER=$driver broke the shots"; cat "$out/e.log"; }
done
if have ffmpeg; then
  check
  env -u DISPLAY SDL_VIDEODRIVER=x11 "$exe" --record "$out/e/v.mp4" --to 0.2 --size 160x120 >/dev/null 2>"$out/e.log" ||
    fail "environment: SDL_VIDEODRIVER=x11 broke the recording"
fi
# Standard error closed on the way in: the progress lines must not land in
# the video, whose private file would otherwise take its number.
if have ffmpeg; then
  check
  "$exe" --record "$out/e/closed.mp4" --to 0.5 --size 160x120 2>&-
  code=$?
  [ "$code" = 0 ] && [ "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$out/e/closed.mp4")" = 0.500000 ] ||
    fail "environment: with standard error closed the video came out broken (exit $code)"
fi
check
PATH=/nonexistent "$exe" --record "$out/e/w.mp4" --to 1 >/dev/null 2>"$out/e.log"
code=$?
[ "$code" = 1 ] && grep -q "needs ffmpeg" "$out/e.log" || fail "environment: no ffmpeg on the PATH gave exit $code"
[ ! -e "$out/e/w.mp4" ] && [ -z "$(leftovers "$out/e")" ] || fail "environment: files left without ffmpeg"
if [ "$(id -u)" != 0 ]; then
  check
  chmod 0500 "$out/e"
  "$exe" --shots "$out/e" --at 0 >/dev/null 2>"$out/e.log"
  code=$?
  chmod 0700 "$out/e"
  [ "$code" = 2 ] && grep -q "Permission denied" "$out/e.log" || fail "environment: a read-only folder gave exit $code"
fi

group ""
echo "hostile: ${summary}slowest stop $slowest ms ($slowest_name); $failures failures in $checks cases"
[ "$failures" = 0 ] && echo "hostile: ok"
[ "$failures" = 0 ]
