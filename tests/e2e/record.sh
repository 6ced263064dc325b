#!/usr/bin/env bash
# Recording: a valid H.264 video with the track, the same frames as the
# screenshots, the same bytes twice, and nothing left behind when it fails.
# Started from anywhere, the video is one people can share: the track at the
# right time, the index before the frames, BT.709 used and tagged.
set -euo pipefail
exe=$(realpath "$1") data=$(realpath "$2")
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

# As people share it, started from / (not the data folder): four seconds of
# the valley at 1280x960, ten frames a second.
(cd / && env -u DISPLAY "$exe" --record "$out/hd.mp4" --from 40 --to 44 --size 1280x960 --fps 10 2>"$out/hd.log") ||
  { cat "$out/hd.log"; fail "recording from / failed"; }
! grep -q "silent" "$out/hd.log" || fail "recording from / found no track: $(cat "$out/hd.log")"
# The sound is the track's at that time: the same samples, unshifted, at five
# points (normalised cross-correlation of 0.2 s, mono at 44.1 kHz; the track
# decoded from its start, so no seek of ffmpeg's is trusted).
ffmpeg -v error -i "$out/hd.mp4" -map 0:a -ac 1 -ar 44100 -f s16le "$out/hd.raw"
ffmpeg -v error -t 45 -i "$data/muzyka/I po co to.mp3" -ac 1 -ar 44100 -f s16le "$out/track.raw"
perl -e '
  sub samples { local $/; open my $f, "<", $_[0] or die "$_[0]: $!"; binmode $f; [unpack "s<*", <$f>] }
  my ($rec, $track, $from) = (samples($ARGV[0]), samples($ARGV[1]), $ARGV[2]);
  my $n = 8820;
  my $bad = 0;
  for my $at (0.4, 1.1, 1.9, 2.6, 3.4) {
    my ($r, $t) = (int($at * 44100), int(($from + $at) * 44100));
    my ($xy, $xx, $yy) = (0, 0, 0);
    for my $i (0 .. $n - 1) {
      my ($x, $y) = ($rec->[$r + $i] // 0, $track->[$t + $i] // 0);
      $xy += $x * $y; $xx += $x * $x; $yy += $y * $y;
    }
    my $c = $xx && $yy ? $xy / sqrt($xx * $yy) : 0;
    printf "record: sound at %.1f s: correlation %.5f\n", $from + $at, $c;
    $bad = 1 if $c < 0.99;
  }
  exit $bad;' "$out/hd.raw" "$out/track.raw" 40 >"$out/ncc.txt" || { cat "$out/ncc.txt"; fail "the sound is not the track's at that time"; }
for f in a hd; do
  # The index (moov) before the frames (mdat): it plays while it downloads.
  boxes=$(perl -e '
    open my $f, "<", $ARGV[0] or die; binmode $f;
    my $at = 0;
    while (read($f, my $head, 8) == 8) {
      my ($size, $type) = unpack "NA4", $head;
      if ($size == 1) { read($f, my $big, 8); $size = unpack "Q>", $big }
      print "$type ";
      last if $size < 8;
      $at += $size; seek $f, $at, 0;
    }' "$out/$f.mp4")
  [[ "$boxes" =~ moov.*mdat ]] || fail "$f.mp4: the index is not before the frames ($boxes)"
  tags=$(ffprobe -v error -select_streams v:0 -show_streams "$out/$f.mp4" | grep '^color_' | sort | tr '\n' ' ')
  [ "$tags" = "color_primaries=bt709 color_range=tv color_space=bt709 color_transfer=bt709 " ] ||
    fail "$f.mp4: colour tags are $tags"
done
# Decoded with the matrix it is tagged with, the frame at 42 s (frame 20) is
# the screenshot of that time within 2/255 on average; with BT.601's it is
# not (so this frame tells the two apart).
(cd / && "$exe" --shots "$out/hd" --at 42000 --size 1280x960 --fps 10 >/dev/null)
decoded_mae() {
  ffmpeg -v error -y -i "$out/hd.mp4" -vf "select=eq(n\,20),scale=in_color_matrix=$1:in_range=tv,format=rgb24" \
    -vframes 1 "$out/hd-$1.png"
  (compare -metric MAE "$out/hd-$1.png" "$out/hd/shot-42000.png" null: 2>&1 || true) | sed 's/.*(\(.*\))/\1/'
}
mae_bt709=$(decoded_mae bt709) mae_bt601=$(decoded_mae bt601)
awk -v d="$mae_bt709" 'BEGIN { exit !(d < 2 / 255) }' || fail "the 1280x960 frame differs from its shot (MAE $mae_bt709)"
awk -v d="$mae_bt601" 'BEGIN { exit !(d > 2 / 255) }' || fail "the frame does not tell the matrices apart ($mae_bt601)"
echo "record: 1280x960 frame at 42 s: MAE $mae_bt709 (BT.601 would be $mae_bt601)"
cat "$out/ncc.txt"

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
