#!/usr/bin/env bash
# The long runs: whole shows under AddressSanitizer and UndefinedBehaviorSanitizer
# at 30, 120 and 1000 frames a second, across the tick wrap and through stalls.
# Takes the better part of an hour on two cores.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
exec bash "$ROOT/tests/sanitize/show_asan.sh" "${1:-$ROOT/build-sanitize}" 'WholeShow.*'
