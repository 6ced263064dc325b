#!/usr/bin/env bash
# Builds the picture-reader fuzzer with clang (the reader and the stand-in
# host it reads files through, not the whole show), replays the bad-picture corpus and good pictures through it,
# then fuzzes for a bounded time. Exits non-zero on any finding.
#
#   fuzz/run.sh [SECONDS]      default 60; 0 replays the corpus only
#
# BAUBLES_FUZZ_BUILD picks the work directory (default build-fuzz at the top of
# the tree). Inputs the fuzzer finds are kept in its corpus/ between runs;
# crashing inputs land in artifacts/.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
SECONDS_TO_FUZZ="${1:-60}"
WORK="${BAUBLES_FUZZ_BUILD:-$ROOT/build-fuzz}"
CORPUS_DIR="$ROOT/tests/data/bmp/malformed"
CXX="${CLANGXX:-$(command -v clang++-14 || command -v clang++)}"

case "$SECONDS_TO_FUZZ" in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;;
esac

mkdir -p "$WORK/corpus" "$WORK/valid" "$WORK/artifacts"
BIN="$WORK/bmp_fuzz"
if [ ! -x "$BIN" ] || [ "$ROOT/src/image/bmp.cpp" -nt "$BIN" ] || [ "$ROOT/src/image/bmp.h" -nt "$BIN" ] \
   || [ "$ROOT/fuzz/bmp_fuzz.cpp" -nt "$BIN" ] || [ "$ROOT/src/show/host.cpp" -nt "$BIN" ]; then
  echo "building $BIN with $CXX"
  "$CXX" -std=c++17 -g -O1 -Wall -Wextra \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer \
    -I"$ROOT/src" "$ROOT/fuzz/bmp_fuzz.cpp" "$ROOT/src/image/bmp.cpp" "$ROOT/src/show/host.cpp" -o "$BIN"
fi

# Good pictures from ImageMagick: odd widths, one-pixel sides, top-down, other depths.
if command -v convert >/dev/null && [ -z "$(ls -A "$WORK/valid")" ]; then
  for size in 5x3 1x1 1x7 7x1 13x9 32x16; do
    convert -size "$size" gradient:red-blue -type truecolor "BMP3:$WORK/valid/rgb-$size.bmp"
  done
  convert -size 16x8 gradient:yellow-navy -type palette -colors 200 -compress none "BMP3:$WORK/valid/pal8.bmp"
  convert -size 16x8 gradient:yellow-navy -type palette -colors 16 -compress none "BMP3:$WORK/valid/pal4.bmp"
  convert -size 16x8 gradient:yellow-navy -type palette -colors 200 -compress RLE "BMP3:$WORK/valid/rle8.bmp"
  convert -size 9x5 gradient:green-white -type truecolor "BMP:$WORK/valid/v5-9x5.bmp"
fi

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# Replay: every corpus file once, one by one, so each is named if it fails.
mapfile -t FILES < <(find "$CORPUS_DIR" "$WORK/valid" -name '*.bmp' -type f | sort)
echo "replaying ${#FILES[@]} files"
"$BIN" -runs=1 "${FILES[@]}" >"$WORK/replay.log" 2>&1 || { cat "$WORK/replay.log"; echo "replay FAILED"; exit 1; }
echo "replay passed"

[ "$SECONDS_TO_FUZZ" -eq 0 ] && exit 0

# Fuzz. Inputs are at most 64 KiB, so no honest allocation can come near 8 MB:
# a larger one means the reader trusted a size the file cannot back.
echo "fuzzing for ${SECONDS_TO_FUZZ} s"
set +e
"$BIN" -max_total_time="$SECONDS_TO_FUZZ" -max_len=65536 -malloc_limit_mb=8 -rss_limit_mb=1024 \
  -timeout=10 -print_final_stats=1 -artifact_prefix="$WORK/artifacts/" \
  "$WORK/corpus" "$CORPUS_DIR" "$WORK/valid" >"$WORK/fuzz.log" 2>&1
status=$?
set -e
grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$WORK/fuzz.log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$WORK/fuzz.log"
  echo "fuzzing FAILED (status $status); crashing input in $WORK/artifacts/"
  exit 1
fi
echo "fuzzing found nothing"
