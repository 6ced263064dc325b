#!/usr/bin/env bash
# Recording: a valid H.264 video with the track, the same frames as the
# screenshots, the same bytes twice, and nothing left behind when it fails.
set -euo pipefail
exe=$1 data=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$data"
fail() { echo "record: $*"; exit 1; }

env -u DISPLAY "$exe" --record "$out/a.mp4" --from 2 --to 3 --size 320x240 2>"$out/a.log" || { cat "$out/a.log"; fail "recording failed"; }
grep -q "wrote $out/a.mp4" "$out/a.log" || fail "no closing line"
probe() { ffprobe -v error -select_streams "$1" -show_entries "stream=$2" -of default=nw=1:nk=1 "$out/a.mp4"; }
[ "$(ffprobe -v error -show_entries stream=index -of csv=p=0 "$out/a.mp4" | wc -l)" = 2 ] || fail "expected a video and an audio stream"
[ "$(probe v:0 codec_name)" = h264 ] || fail "video is not H.264"
[ "$(probe v:0 pix_fmt)" = yuv420p ] || fail "video is not yuv420p"
[ "$(probe v:0 width)x$(probe v:0 height)" = 320x240 ] || fail "wrong size"
[ "$(probe v:0 nb_frames)" = 60 ] || fail "expected 60 frames, got $(probe v:0 nb_frames)"
[ "$(probe a:0 codec_name)" = aac ] || fail "audio is not AAC"
dur=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$out/a.mp4")
awk -v d="$dur" 'BEGIN { exit !(d > 0.95 && d < 1.1) }' || fail "duration $dur, not 1 s"

# Video frame k is the show at 2 s + k/60: the same picture as a screenshot.
"$exe" --shots "$out" --at 2000,2500 --size 320x240 >/dev/null
for k in 0 30; do
  ms=$((2000 + k * 1000 / 60))
  ffmpeg -v error -i "$out/a.mp4" -vf "select=eq(n\,$k)" -vframes 1 "$out/frame-$k.png"
  diff=$( (compare -metric MAE "$out/frame-$k.png" "$out/shot-$ms.png" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/')
  awk -v d="$diff" 'BEGIN { exit !(d < 0.02) }' || fail "frame $k differs from the shot at $ms ms (MAE $diff)"
  other=$( (compare -metric MAE "$out/frame-$k.png" "$out/shot-$((ms == 2000 ? 2500 : 2000)).png" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/')
  awk -v d="$other" -v s="$diff" 'BEGIN { exit !(d > s) }' || fail "frame $k matches another time as well ($other vs $diff)"
done

# The same range again: frame for frame the same.
env -u DISPLAY "$exe" --record "$out/b.mp4" --from 2 --to 3 --size 320x240 2>/dev/null
ffmpeg -v error -i "$out/a.mp4" -map 0:v -f framemd5 "$out/a.md5"
ffmpeg -v error -i "$out/b.mp4" -map 0:v -f framemd5 "$out/b.md5"
cmp -s "$out/a.md5" "$out/b.md5" || fail "two recordings of the same range differ"

# Interrupted (Ctrl-C): no file, no partial file, a non-zero exit. A
# background job starts with SIGINT ignored; perl restores it, as in a terminal.
set +e
env -u DISPLAY perl -e '$SIG{INT} = "DEFAULT"; exec @ARGV' -- "$exe" --record "$out/c.mp4" --from 0 --to 300 --size 320x240 2>"$out/c.log" &
pid=$!
sleep 3
kill -INT $pid
wait $pid; code=$?
set -e
[ "$code" -ne 0 ] || fail "an interrupted recording exited 0"
[ ! -e "$out/c.mp4" ] || fail "an interrupted recording left its file"
! ls -a "$out" | grep -q partial || fail "a partial file was left behind"
# A folder that does not exist: refused before anything is rendered.
set +e
env -u DISPLAY "$exe" --record "$out/missing/d.mp4" --from 0 --to 1 --size 320x240 2>"$out/d.log"; code=$?
set -e
[ "$code" = 2 ] || fail "a recording into a missing folder exited $code, not 2"
grep -q "cannot write $out/missing/d.mp4: No such file or directory" "$out/d.log" || fail "no reason given for a missing folder"
echo "record: ok"
