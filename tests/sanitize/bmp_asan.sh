#!/usr/bin/env bash
# Builds the picture tests with AddressSanitizer and UndefinedBehaviorSanitizer
# in a build directory of their own and runs them, bad-picture corpus included.
# Any sanitizer report fails the run.
#
#   tests/sanitize/bmp_asan.sh [BUILD_DIR] [GTEST_FILTER]
#
# BUILD_DIR defaults to build-sanitize at the top of the tree; GTEST_FILTER to
# every test of the suite.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
BUILD="${1:-$ROOT/build-sanitize}"
FILTER="${2:-*}"
JOBS="$(nproc 2>/dev/null || echo 2)"
[ "$JOBS" -gt 2 ] && JOBS=2

cmake -S "$ROOT" -B "$BUILD" -DBAUBLES_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target test_image

BIN="$BUILD/tests/test_image"
# Make sure this really is the instrumented build, not a stale plain one.
SYMBOLS="$(nm "$BIN" 2>/dev/null || true)"
if ! grep -q '__asan_report' <<<"$SYMBOLS" || ! grep -q '__ubsan_handle' <<<"$SYMBOLS"; then
  echo "bmp_asan: $BIN is not built with ASan and UBSan" >&2
  exit 1
fi

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
exec "$BIN" --gtest_filter="$FILTER"
