#!/usr/bin/env bash
# The Debian package as a viewer gets it. Built by CPack from this build tree,
# it carries the program's version, depends on no -dev package and no test
# tool, is clean under lintian (no error, no warning), and its launcher and
# metadata validate. Then it is installed with apt, the program is run from /
# as an unprivileged user (beside a decoy copy in /usr/local, and once with
# its data gone) and the package is purged, leaving none of its files.
# Installing changes the system: that half needs root or sudo without a
# password and is skipped (77) without; whatever it changes is put back on
# the way out, on failure too.
set -euo pipefail
exe=$(realpath "$1") data=$(realpath "$2")
build=$(dirname "$exe")
src=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
chmod 755 "$out"  # the unprivileged run writes below it
SUDO="" installed="" moved="" decoy=""
cleanup() {
  set +e
  [ -n "$moved" ] && $SUDO mv "$moved" /usr/share/baubles
  [ -n "$installed" ] && $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -q baubles >/dev/null 2>&1
  [ -n "$decoy" ] && $SUDO rm -rf "$decoy"
  $SUDO rm -rf "$out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() { echo "package: $*"; exit 1; }

# ---- the package file
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out/pkg" >"$out/cpack.log" 2>&1 ||
  fail "cpack failed: $(tail -20 "$out/cpack.log")"
debs=("$out"/pkg/baubles_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single baubles_*.deb: ${debs[*]}"
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }

version=$("$exe" --version)
[ "baubles $(field Version)" = "$version" ] || fail "package version $(field Version), program says '$version'"
[ "$(field Section)" = games ] && [ "$(field Priority)" = optional ] ||
  fail "section '$(field Section)', priority '$(field Priority)'"
[ "$(field Recommends)" = ffmpeg ] || fail "Recommends is '$(field Recommends)', not ffmpeg"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no Maintainer or Description"
# Every alternative of every dependency, by name.
field Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/ //g' | grep -v '^$' | sort -u >"$out/depends"
grep -q '^libsdl2-2.0-0$' "$out/depends" || fail "Depends misses the SDL runtime: $(field Depends)"
! grep -- '-dev$' "$out/depends" || fail "Depends has -dev packages: $(field Depends)"
bash "$src/tools/deps.sh" --list test | sort -u >"$out/test-tools"
! comm -12 "$out/depends" "$out/test-tools" | grep . || fail "Depends has test tools: $(field Depends)"

lintian --fail-on error,warning "$deb" >"$out/lintian.txt" 2>&1 || fail "lintian: $(cat "$out/lintian.txt")"

dpkg-deb -x "$deb" "$out/root"
r=$out/root/usr
[ -x "$r/games/baubles" ] && [ -d "$r/share/baubles/Images" ] && [ -f "$r/share/baubles/muzyka/I po co to.mp3" ] ||
  fail "the program or its data is not where the package should put them"
desktop-file-validate "$r/share/applications/baubles.desktop" >"$out/desktop.txt" 2>&1 && [ ! -s "$out/desktop.txt" ] ||
  fail "desktop-file-validate: $(cat "$out/desktop.txt")"
metainfo=("$r"/share/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} = 1 ] && [ -f "${metainfo[0]}" ] || fail "not one AppStream file: ${metainfo[*]}"
# The whole tree, as a software centre reads it: the file's name, the
# launcher it names and the metadata itself.
appstreamcli validate-tree --no-net --pedantic "$out/root" >"$out/as.txt" 2>&1 ||
  fail "appstreamcli: $(cat "$out/as.txt")"
grep -q "<release version=\"${version#baubles }\"" "${metainfo[0]}" ||
  fail "the metadata's release is not ${version#baubles }"
icon=$(sed -n 's/^Icon=//p' "$r/share/applications/baubles.desktop")
for n in 48 128 256; do
  size=$(identify -format '%wx%h %[channels]' "$r/share/icons/hicolor/${n}x$n/apps/$icon.png") ||
    fail "no $n px icon named $icon"
  [ "$size" = "${n}x$n srgba" ] || fail "the $n px icon is $size"
done
# The bauble fills a good part of its square; the corners are clear.
cover=$(convert "$r/share/icons/hicolor/256x256/apps/$icon.png" -alpha extract -format '%[fx:mean] %[fx:p[2,2]]' info:)
awk -v c="$cover" 'BEGIN { split(c, v, " "); exit !(v[1] > 0.3 && v[1] < 0.8 && v[2] == 0) }' ||
  fail "the icon's coverage and corner are $cover"
grep -q "<svg" "$r/share/icons/hicolor/scalable/apps/$icon.svg" || fail "no scalable icon"

# ---- installed on this system
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    SUDO="sudo -n"
  else
    echo "package: the package checks passed; installing it skipped: needs root or sudo without a password"
    exit 77
  fi
fi
if dpkg-query -W -f='${Status}' baubles 2>/dev/null | grep -q "ok installed" || [ -e /usr/share/baubles ] ||
  [ -e /usr/games/baubles ]; then
  echo "package: the package checks passed; installing it skipped: a baubles is in /usr already"
  exit 77
fi
# A copy from `cmake --install` in /usr/local must not be taken for the
# package's data. If none is there, an empty one stands in for it.
if [ ! -e /usr/local/share/baubles ]; then
  decoy=/usr/local/share/baubles
  $SUDO mkdir -p "$decoy/Images" "$decoy/muzyka"
fi

apt() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"; }
installed=yes
apt install "$deb" >"$out/apt.txt" 2>&1 || fail "apt-get install failed: $(tail -20 "$out/apt.txt")"
dpkg -L baubles >"$out/files"
grep -qx /usr/games/baubles "$out/files" || fail "dpkg -L does not list /usr/games/baubles"
[ "$(/usr/games/baubles --version)" = "$version" ] || fail "the installed program says '$(/usr/games/baubles --version)'"
MANWIDTH=80 man 6 baubles 2>/dev/null | grep -q "audiovisual show" || fail "man 6 baubles shows no page"

# As nobody, from /, with a home of its own to write to.
$SUDO mkdir "$out/nobody"
$SUDO chown nobody:nogroup "$out/nobody"
as_nobody() {
  (cd / && $SUDO setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$out/nobody" "$@")
}
(cd "$data" && "$exe" --shots "$out/reference" --at 40000 --size 160x120 2>/dev/null) || fail "the build tree's shot failed"
as_nobody /usr/games/baubles --shots "$out/nobody/shots" --at 40000 --size 160x120 2>"$out/err.txt" ||
  fail "the installed program failed as nobody: $(cat "$out/err.txt")"
! grep -q "no Images" "$out/err.txt" || fail "the installed program found no data: $(cat "$out/err.txt")"
ae=$(compare -metric AE "$out/reference/shot-40000.png" "$out/nobody/shots/shot-40000.png" null: 2>&1 || true)
[ "$ae" = 0 ] || fail "the installed program's frame differs from the build tree's ($ae pixels)"

# A damaged install: the data gone, the /usr/local copy still there. One line
# says where it looked, and the show plays to its end.
moved=/usr/share/baubles.moved-by-test
$SUDO mv /usr/share/baubles "$moved"
as_nobody /usr/games/baubles --shots "$out/nobody/bare" --at 300000 --size 160x120 2>"$out/err.txt" ||
  fail "the program without its data did not end with 0: $(cat "$out/err.txt")"
[ "$(grep -c "no Images" "$out/err.txt")" = 1 ] || fail "not one line about the missing data: $(cat "$out/err.txt")"
grep "no Images" "$out/err.txt" | grep -q "/usr/games/../share/baubles" || fail "the line does not name /usr/share/baubles"
! grep -q "/usr/local" "$out/err.txt" || fail "the program looked in /usr/local: $(cat "$out/err.txt")"
$SUDO mv "$moved" /usr/share/baubles
moved=""

apt remove --purge baubles >"$out/apt.txt" 2>&1 || fail "apt-get remove --purge failed: $(tail -20 "$out/apt.txt")"
installed=""
! dpkg-query -W -f='${Status}' baubles 2>/dev/null | grep -q "ok installed" || fail "still installed after the purge"
left=()
while IFS= read -r f; do
  { [ -e "$f" ] && [ ! -d "$f" ]; } && left+=("$f")
done <"$out/files"
[ ${#left[@]} = 0 ] || fail "files left after the purge: ${left[*]}"
[ ! -e /usr/share/baubles ] && [ ! -e /usr/share/doc/baubles ] || fail "the package's folders are left after the purge"
echo "package: ok ($(wc -l <"$out/files") paths installed and removed; lintian clean)"
