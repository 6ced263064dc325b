#!/usr/bin/env bash
# A short show under valgrind's memcheck: the start-up load (the room's light
# capture included) and two seconds of the intro, at a small size. Reports
# from the system's dynamic loader are suppressed; anything else fails.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${1:-$ROOT/build}"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$BUILD/data"
valgrind --tool=memcheck --error-exitcode=9 --num-callers=30 \
  --suppressions="$ROOT/tools/memcheck.supp" \
  ../baubles --shots "$out" --at 2000 --fps 30 --size 160x120
