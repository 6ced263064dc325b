#!/usr/bin/env bash
# The program itself under AddressSanitizer and UndefinedBehaviorSanitizer,
# leak checking on: a few screenshots, a short recording and a start with
# spoiled pictures must each end with exit code 0 and no report. (The GL
# driver keeps a few bytes until exit; the check can only tell they are the
# driver's while it is still loaded, which the program sees to.)
#
#   tests/sanitize/program_asan.sh [BUILD_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build-sanitize}"
JOBS="$(nproc 2>/dev/null || echo 2)"
[ "$JOBS" -gt 2 ] && JOBS=2

cmake -S "$ROOT" -B "$BUILD" -DBAUBLES_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target baubles assets

EXE="$BUILD/baubles"
SYMBOLS="$(nm "$EXE" 2>/dev/null || true)"
if ! grep -q '__asan_report' <<<"$SYMBOLS"; then
  echo "program_asan: $EXE is not built with ASan" >&2
  exit 1
fi

export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "program_asan: $*"; exit 1; }

cd "$BUILD/data"
"$EXE" --shots "$out" --at 0,30000 --size 160x120 2>"$out/shots.log" || { cat "$out/shots.log"; fail "shots"; }
if command -v ffmpeg >/dev/null; then
  "$EXE" --record "$out/a.mp4" --to 0.5 --size 160x120 2>"$out/record.log" || { cat "$out/record.log"; fail "record"; }
fi
# Spoiled and refused pictures take the error paths.
mkdir -p "$out/spoiled/muzyka" && cp -r Images "$out/spoiled/"
head -c 3000 Images/Env.bmp >"$out/spoiled/Images/Env.bmp"
rm "$out/spoiled/Images/Bombka.bmp" && mkfifo "$out/spoiled/Images/Bombka.bmp"
(cd "$out/spoiled" && "$EXE" --shots "$out" --at 0 --size 160x120 2>"$out/spoiled.log") || { cat "$out/spoiled.log"; fail "spoiled pictures"; }
echo "program_asan: ok"
