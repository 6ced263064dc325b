#!/usr/bin/env bash
# Hostile and careless use, grouped: bad usage, output paths and links, a full
# disk, stop signals in every mode, FIFOs and oversized assets, odd
# environments; then a second round: names that cannot be replaced,
# every fatal signal and the file size limit, memory limits, an encoder that
# never ends, huge windows, values that used to fail late, and messages.
# Across all of them: no crash, no hang, no partial or private file left, no
# target clobbered; bad usage exits 2 before the start-up load, and every
# stop ends within half a second with 128 + the signal.
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
  # Killed with the program, it may wait a moment as a zombie for its new parent.
  if [ -n "$child" ] && kill -0 $child 2>/dev/null && [ "$(ps -o stat= -p "$child" | cut -c1)" != Z ]; then
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

# A program's stderr lines that are not its own (a library's), counted.
library_lines() { grep -cvE '^(baubles: |Error: |\[[#.]+\] |$)' "$1"; }

# ---- encoder grace: one that takes every frame and never ends --
# Started here in the background, looked at after the next groups: the wait
# is 10 s and a tenth of the clip, and it costs no CPU meanwhile.
grace_pid=""
if have ffmpeg; then
  mkdir -p "$out/g/bin"
  printf '#!/bin/sh\ncat >/dev/null\nexec sleep 300\n' >"$out/g/bin/ffmpeg"
  chmod +x "$out/g/bin/ffmpeg"
  (
    t0=$(now_ms)
    PATH="$out/g/bin:$PATH" "$exe" --record "$out/g/v.mp4" --to 0.2 --size 160x120 >/dev/null 2>"$out/g.log"
    echo "$? $(($(now_ms) - t0))" >"$out/g.end"
  ) &
  grace_pid=$!
fi

# ---- huge windows: refused before the load; the largest allowed stops fast (5)
group "huge windows"
if [ -n "${DISPLAY:-}" ] && [ -n "$xvfb_pid" ]; then
  for args in "--window 16384x16384 --start 40" "--window 1281x480" "--render 16384x12288" "--window 640x961"; do
    check
    SDL_AUDIODRIVER=dummy timeout 20 "$exe" $args >/dev/null 2>"$out/h.log"
    code=$?
    [ "$code" = 2 ] && grep -q "larger than can be shown: at most 1280x960" "$out/h.log" ||
      { fail "huge windows: '$args' gave exit $code"; cat "$out/h.log"; }
  done
  # The largest window the 640x480 display allows, stopped in the load and in play.
  SDL_AUDIODRIVER=dummy stop "largest window, load" TERM 0.5 "$out/s" "$exe" --window 1280x960 --start 40
  SDL_AUDIODRIVER=dummy stop "largest window, play" INT 4 "$out/s" "$exe" --window 1280x960 --start 40
else
  echo "hostile: huge windows: skipped, no Xvfb"
fi

# ---- messages: no audio device, and no library chatter (7) ------------------
group "messages"
if [ -n "${DISPLAY:-}" ] && [ -n "$xvfb_pid" ]; then
  # No device: one English line, the show's own box (which waits for a
  # click, so the show is stopped), and none of the back-ends' complaints.
  check
  SDL_AUDIODRIVER=nosuchdriver "${with_signals[@]}" "$exe" --window 320x240 >/dev/null 2>"$out/m.log" &
  pid=$!
  for _ in $(seq 50); do grep -q "Inicjacja" "$out/m.log" 2>/dev/null && break; sleep 0.1; done
  kill -TERM $pid
  wait $pid
  grep -qx "baubles: no audio device: the show plays silent" "$out/m.log" && grep -qx "Error: Inicjacja diwajsu" "$out/m.log" ||
    { fail "messages: no line for a missing audio device"; cat "$out/m.log"; }
  # ALSA with no card is chatty: kept off, or with BAUBLES_DEBUG shown with its source.
  for debug in "" 1; do
    check
    BAUBLES_DEBUG=$debug SDL_AUDIODRIVER=alsa "${with_signals[@]}" "$exe" --window 320x240 >/dev/null 2>"$out/m.log" &
    pid=$!
    sleep 1.5
    kill -TERM $pid
    wait $pid
    n=$(library_lines "$out/m.log")
    [ -n "$debug" ] || [ "$n" = 0 ] || { fail "messages: $n library lines with ALSA"; cat "$out/m.log"; }
    [ -z "$debug" ] || [ "$n" = 0 ] || fail "messages: BAUBLES_DEBUG showed library lines without their source"
  done
fi
# Normal offscreen runs and a spoiled track: the program's own lines only.
mkdir -p "$out/m/muzyka" && cp -r "$data/Images" "$out/m/"
printf 'not a track %.0s' $(seq 8000) >"$out/m/muzyka/I po co to.mp3"
for run in "shots:." "record:." "record:$out/m" "bench:."; do
  mode=${run%%:*} dir=${run#*:}
  [ "$mode" = record ] && ! have ffmpeg && continue
  check
  case $mode in
    shots) args=(--shots "$out/m/s" --at 0,80000 --size 160x120) ;;
    record) args=(--record "$out/m/v.mp4" --to 0.3 --size 160x120) ;;
    bench) args=(--bench) ;;
  esac
  if [ "$mode" = bench ]; then
    "${with_signals[@]}" "$exe" "${args[@]}" >/dev/null 2>"$out/m.log" &
    pid=$!
    sleep 2
    kill -TERM $pid
    wait $pid
  else
    (cd "$dir" && "$exe" "${args[@]}" >/dev/null 2>"$out/m.log")
  fi
  n=$(library_lines "$out/m.log")
  [ "$n" = 0 ] || { fail "messages: $n library lines in $mode (in $dir)"; cat "$out/m.log"; }
done

[ -n "$xvfb_pid" ] && kill $xvfb_pid 2>/dev/null
unset DISPLAY

# ---- replaceable: a name the rename may not take is refused first
group "replaceable"
# Another user's file in a sticky folder (as /tmp): refused before the
# platform opens (no EGL library: exit 2 means it came first, 1 that it
# passed). Only root can make another user's file and become that user.
if [ "$(id -u)" = 0 ] && setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null &&
  setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$exe"; then
  chmod 755 "$out"
  mkdir -p "$out/r/s" && chmod 1777 "$out/r" "$out/r/s"
  echo precious >"$out/r/v.mp4"
  echo precious >"$out/r/s/shot-0.png"
  as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  # user:expected exit:command
  for c in "nobody:2:--record $out/r/v.mp4" "nobody:2:--shots $out/r/s --at 0" "nobody:1:--record $out/r/new.mp4" \
    "root:1:--record $out/r/v.mp4" "root:1:--shots $out/r/s --at 0"; do
    who=${c%%:*} rest=${c#*:}
    want=${rest%%:*} args=${rest#*:}
    runner=()
    [ "$who" = nobody ] && runner=("${as_nobody[@]}")
    check
    t0=$(now_ms)
    SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so "${runner[@]}" "$exe" $args >/dev/null 2>"$out/r.log"
    code=$?
    [ "$code" = "$want" ] || { fail "replaceable: $who '$args' gave exit $code, not $want"; cat "$out/r.log"; }
    [ "$want" = 1 ] || grep -q "belongs to another user in a folder where only a file's owner may replace it" "$out/r.log" ||
      fail "replaceable: no reason given for $who '$args'"
  done
  [ "$(cat "$out/r/v.mp4")" = precious ] && [ "$(cat "$out/r/s/shot-0.png")" = precious ] || fail "replaceable: a file was changed"
  [ -z "$(leftovers "$out/r")$(leftovers "$out/r/s")" ] && [ ! -e "$out/r/new.mp4" ] || fail "replaceable: files left: $(ls -A "$out/r")"
  chmod 700 "$out"
else
  echo "hostile: replaceable: skipped, needs root and the user nobody"
fi

# ---- fatal signals: every one ends like a stop; SIGXFSZ is a failed write (2)
group "fatal signals"
for case in "record:USR1:1.5" "record:ALRM:1.5" "record:PROF:1.5" "shots:USR2:1.5" "shots:VTALRM:1.5" "load:USR1:0.3" "load:ALRM:0.3"; do
  IFS=: read -r mode sig delay <<<"$case"
  case $mode in
    record) have ffmpeg || continue; args=(--record "$out/s/v.mp4" --to 100 --size 160x120) ;;
    *) args=(--shots "$out/s" --at "$many" --size 160x120) ;;
  esac
  stop "$mode" "$sig" "$delay" "$out/s" "$exe" "${args[@]}"
  grep -q "stopped by SIG$sig" "$out/stop.log" || fail "fatal signals: $mode: no line for SIG$sig"
done
# The file size limit (ulimit -f, in KB): a screenshot fails with a reason;
# the encoder dies by SIGXFSZ, named. Nothing is left either way.
check
(ulimit -f 20; "$exe" --shots "$out/s" --at 0 --size 640x480 >/dev/null 2>"$out/f.log")
code=$?
[ "$code" = 1 ] && grep -q "cannot write $out/s/shot-0.png: the file size limit was reached" "$out/f.log" ||
  { fail "fatal signals: a screenshot over ulimit -f gave exit $code"; cat "$out/f.log"; }
if have ffmpeg; then
  check
  (ulimit -f 20; "$exe" --record "$out/s/v.mp4" --to 4 --size 320x240 >/dev/null 2>"$out/f.log")
  code=$?
  [ "$code" = 1 ] && grep -q "ffmpeg was ended by SIGXFSZ: the file size limit was reached; $out/s/v.mp4 was not written" "$out/f.log" ||
    { fail "fatal signals: a recording over ulimit -f gave exit $code"; cat "$out/f.log"; }
fi
[ -z "$(ls -A "$out/s")" ] || fail "fatal signals: the file size limit left $(ls -A "$out/s")"

# ---- memory limits: one line and exit 1 before the load, or a whole run (3) --
group "memory"
# From no GL driver at all, through the limits that used to crash, to one
# that is enough for the whole show; the scenes that take the most are drawn.
for kb in 150000 400000 550000 700000 1000000 1400000; do
  for mode in shots record; do
    [ "$mode" = record ] && { have ffmpeg && [ "$kb" -le 700000 ] || continue; }
    check
    case $mode in
      shots) args=(--shots "$out/mem" --at 0,80000,170000,292000 --size 160x120) ;;
      record) args=(--record "$out/mem/v.mp4" --to 1 --size 160x120) && mkdir -p "$out/mem" ;;
    esac
    (ulimit -v $kb; "$exe" "${args[@]}" >/dev/null 2>"$out/mem.log")
    code=$?
    if [ "$code" = 1 ]; then
      [ "$(wc -l <"$out/mem.log")" = 1 ] && grep -qE "out of memory|ulimit -v" "$out/mem.log" ||
        { fail "memory: $mode at ulimit -v $kb: exit 1 without one line on memory"; cat "$out/mem.log"; }
    elif [ "$code" != 0 ]; then
      fail "memory: $mode at ulimit -v $kb ended with $code"
      cat "$out/mem.log"
    fi
    [ "$kb" != 1400000 ] || [ "$code" = 0 ] || fail "memory: 1.4 GB was not enough"
    # A refused run leaves nothing: not even the screenshots' folder.
    [ "$code" = 0 ] || [ -z "$(ls -A "$out/mem" 2>/dev/null)" ] && { [ "$mode" = record ] || [ "$code" = 0 ] || [ ! -e "$out/mem" ]; } ||
      fail "memory: $mode at ulimit -v $kb left $(ls -A "$out/mem" 2>/dev/null)"
    rm -rf "$out/mem"
  done
done

# ---- late failures: values refused before the load, leaving nothing (6) -----
group "late failures"
mkdir -p "$out/l"
long=$(printf 'abcdefghij%.0s' $(seq 25))  # 250 bytes: a name that fits
deep="$out/l/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long/$long"
for args in "--record $out/l/v.mp4 --size 16384x16384" "--record $out/l/v.mp4 --size 8194x4320" \
  "--record $out/l/v.mp4 --size 5760x4322" "--record --help" "--record -" "--shots -x --at 0" \
  "--shots $deep --at 0" "--shots $out/l/$long$long --at 0"; do
  refused $args
  grep -qE "8192x4320|write \./-|too long|longer than 255" "$out/u.log" || { fail "late failures: no limit or hint named for '${args:0:60}'"; cat "$out/u.log"; }
done
[ ! -e ./--help ] && [ ! -e ./- ] || fail "late failures: a file named like an option was written"
# Folders are made only once everything passed: a start that fails leaves none.
check
SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so "$exe" --shots "$out/l/new/deeper" --at 0 >/dev/null 2>&1
[ -z "$(ls -A "$out/l")" ] || fail "late failures: left $(ls -A "$out/l")"
# A descriptor limit too low for the encoder: said as it is, before the load.
if have ffmpeg; then
  for n in 8 12; do
    check
    (ulimit -n $n; "$exe" --record "$out/l/v.mp4" --to 0.2 --size 160x120 >/dev/null 2>"$out/l.log")
    code=$?
    # Either it records, or it says why before the load (no progress bar yet).
    [ "$code" = 0 ] || { [ "$code" = 1 ] && grep -q "Too many open files" "$out/l.log" && ! grep -q "frames" "$out/l.log"; } ||
      { fail "late failures: ulimit -n $n: exit $code"; cat "$out/l.log"; }
    [ "$code" = 0 ] || [ -z "$(ls -A "$out/l")" ] || fail "late failures: ulimit -n $n left $(ls -A "$out/l")"
    rm -f "$out/l/v.mp4"
  done
fi

# ---- encoder grace, its end -------------------------------------------------
group "encoder grace"
if [ -n "$grace_pid" ]; then
  check
  wait $grace_pid
  read -r code took <"$out/g.end"
  # The load and 12 frames, then 10 s and a tenth of 0.2 s of waiting.
  [ "$code" = 1 ] && [ "$took" -ge 10000 ] && [ "$took" -le 14000 ] || fail "encoder grace: exit $code after $took ms"
  grep -q "waiting for ffmpeg to finish" "$out/g.log" && grep -q "ffmpeg did not finish within 10 s of the last frame and was ended; $out/g/v.mp4 was not written" "$out/g.log" ||
    { fail "encoder grace: no lines for the wait"; cat "$out/g.log"; }
  [ ! -e "$out/g/v.mp4" ] && [ -z "$(leftovers "$out/g")" ] || fail "encoder grace: files left"
  ! pgrep -f "sleep 300" -P 1 >/dev/null || fail "encoder grace: the encoder was left running"
fi

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
