#!/usr/bin/env bash
# The manual page renders without a warning, carries the version the program
# prints, and names exactly the options --help lists: an option added to one
# and not the other fails here.
set -euo pipefail
exe=$(realpath "$1")
page=$(dirname "$exe")/packaging/baubles.6
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "manual: $*"; exit 1; }
[ -s "$page" ] || fail "no manual page at $page"

MANWIDTH=200 man --warnings -E ascii -l "$page" 2>"$out/warnings" | col -bx >"$out/page.txt" ||
  fail "man could not render the page"
[ ! -s "$out/warnings" ] || fail "rendering warned: $(cat "$out/warnings")"
grep -q "^NAME" "$out/page.txt" && grep -q "^OPTIONS" "$out/page.txt" || fail "the rendered page has no NAME or OPTIONS"

version=$("$exe" --version)
grep -q "^$version " "$out/page.txt" || fail "the page's footer does not say '$version'"

options() { grep -oE -- '--[a-z][a-z-]*[a-z]' | sort -u; }
"$exe" --help | options >"$out/help.txt"
options <"$out/page.txt" >"$out/man.txt"
[ "$(wc -l <"$out/help.txt")" -ge 10 ] || fail "--help lists too few options: $(cat "$out/help.txt")"
if ! diff "$out/help.txt" "$out/man.txt" >"$out/diff.txt"; then
  fail "--help (<) and the manual (>) differ in their options: $(grep '^[<>]' "$out/diff.txt" | tr '\n' ' ')"
fi
echo "manual: ok ($(wc -l <"$out/help.txt") options)"
