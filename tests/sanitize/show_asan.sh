#!/usr/bin/env bash
# Builds the whole show with AddressSanitizer and UndefinedBehaviorSanitizer
# and plays it through on the fixed-step clock. Any sanitizer report, any
# non-finite value or a show that does not end fails the run.
#
#   tests/sanitize/show_asan.sh [BUILD_DIR] [GTEST_FILTER]
#
# GTEST_FILTER defaults to the 30 frames-a-second show; tools/longrun.sh
# passes the long ones.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build-sanitize}"
FILTER="${2:-WholeShow.At30FramesASecond}"
JOBS="$(nproc 2>/dev/null || echo 2)"
[ "$JOBS" -gt 2 ] && JOBS=2

cmake -S "$ROOT" -B "$BUILD" -DBAUBLES_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target test_longrun assets

BIN="$BUILD/tests/test_longrun"
SYMBOLS="$(nm "$BIN" 2>/dev/null || true)"
if ! grep -q '__asan_report' <<<"$SYMBOLS" || ! grep -q '__ubsan_handle' <<<"$SYMBOLS"; then
  echo "show_asan: $BIN is not built with ASan and UBSan" >&2
  exit 1
fi

# The GL driver and SDL keep a few allocations until exit; they are theirs, not ours.
export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitize/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
exec "$BIN" --gtest_filter="$FILTER" --gtest_also_run_disabled_tests
