#!/usr/bin/env bash
# The pictures and the track are found from any working directory: beside
# the build tree's program, and beside an installed copy. With none anywhere
# the show says where it looked and plays to its end. --shots makes its
# folder, parents and all.
set -euo pipefail
exe=$(realpath "$1") data=$(realpath "$2")
build=$(dirname "$exe")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "assets: $*"; exit 1; }
mkdir "$out/elsewhere"
shot() { "$@" --at 40000 --size 160x120 2>"$out/err.txt"; }

# The reference: run from the data folder itself.
(cd "$data" && shot "$exe" --shots "$out/here") || fail "the show from its data folder failed"
# From an unrelated folder, into a folder that does not exist yet.
(cd "$out/elsewhere" && shot "$exe" --shots "$out/new/nested/shots") || fail "the build-tree program failed elsewhere"
[ -s "$out/new/nested/shots/shot-40000.png" ] || fail "--shots did not make its folder"
! grep -q "no Images" "$out/err.txt" || fail "the build-tree program did not find its data: $(cat "$out/err.txt")"
ae=$(compare -metric AE "$out/here/shot-40000.png" "$out/new/nested/shots/shot-40000.png" null: 2>&1 || true)
[ "$ae" = 0 ] || fail "the build-tree program's frame differs ($ae pixels)"

# An installed copy.
cmake --install "$build" --prefix "$out/prefix" >/dev/null || fail "install failed"
(cd "$out/elsewhere" && shot "$out/prefix/bin/baubles" --shots "$out/installed") || fail "the installed program failed"
! grep -q "no Images" "$out/err.txt" || fail "the installed program did not find its data: $(cat "$out/err.txt")"
ae=$(compare -metric AE "$out/here/shot-40000.png" "$out/installed/shot-40000.png" null: 2>&1 || true)
[ "$ae" = 0 ] || fail "the installed program's frame differs ($ae pixels)"

# No data anywhere: one line naming the places, and the show to its end.
mkdir "$out/lone"
cp "$exe" "$out/lone/baubles"
(cd "$out/elsewhere" && "$out/lone/baubles" --shots "$out/lone-shots" --at 300000 --size 160x120 2>"$out/err.txt") ||
  fail "the show without data did not end with 0"
grep "no Images" "$out/err.txt" | grep -q "the working directory" || fail "no line naming where it looked: $(cat "$out/err.txt")"
[ "$(grep -c "no Images" "$out/err.txt")" = 1 ] || fail "more than one line about the missing data"
echo "assets: ok"
