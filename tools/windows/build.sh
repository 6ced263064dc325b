#!/usr/bin/env bash
# Cross-builds the show for 64-bit Windows and packs it:
#   tools/windows/build.sh NATIVE_BUILD [OUT]
# NATIVE_BUILD is a Linux build folder whose data/ holds the generated
# pictures and track (they are made on Linux only). OUT (NATIVE_BUILD/windows
# by default) gets deps/ (SDL2, SDL2_mixer with mpg123, libepoxy, cross-built
# once from Debian's source packages and kept), exe/ (baubles.exe) and
# baubles-VERSION-win64.zip. Installs the MinGW-w64 toolchain when missing.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
[ $# -ge 1 ] && [ -d "$1/data/Images" ] && [ -d "$1/data/muzyka" ] ||
  { echo "usage: $0 NATIVE_BUILD [OUT] (NATIVE_BUILD/data must hold Images/ and muzyka/)" >&2; exit 2; }
NATIVE=$(cd "$1" && pwd)
OUT=${2:-$NATIVE/windows}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
HOST=x86_64-w64-mingw32
JOBS=${JOBS:-$(nproc)}
PREFIX=$OUT/deps/prefix
TOOLCHAIN=$ROOT/tools/windows/mingw-w64-x86_64.cmake
log() { echo "windows: $*" >&2; }

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev
          binutils-mingw-w64-x86-64 dpkg-dev meson ninja-build cmake pkg-config zip)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
updated=0
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  $SUDO apt-get update -q >/dev/null
  updated=1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}" >/dev/null
fi

# The libraries, as Debian builds them for Linux, from the same sources.
SOURCES=(libsdl2 libsdl2-mixer mpg123 libepoxy)
STAMP=$PREFIX/.built-$(printf '%s' "${SOURCES[*]} $(sha1sum "$0" | cut -c1-12)" | tr ' ' '_')
if [ ! -f "$STAMP" ]; then
  # apt-get source needs a deb-src entry: the machine's Debian entries again.
  if ! grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    log "adding deb-src entries beside the Debian ones"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        $SUDO tee /etc/apt/sources.list.d/baubles-deb-src.sources >/dev/null
    else
      grep -hE '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        $SUDO tee /etc/apt/sources.list.d/baubles-deb-src.list >/dev/null
    fi
    updated=0
  fi
  [ $updated -eq 1 ] || $SUDO apt-get update -q >/dev/null
  mkdir -p "$OUT/deps/src" "$PREFIX"
  # The upstream tarballs only (apt checks their hashes); Debian's own
  # changes are for Linux, and a mirror may lack them.
  (cd "$OUT/deps/src" && apt-get source --download-only -q "${SOURCES[@]}" >download.log 2>&1) || true
  for name in "${SOURCES[@]}"; do
    orig=$(find "$OUT/deps/src" -maxdepth 1 -name "${name}_*.orig.tar.*" | head -1)
    [ -n "$orig" ] || { cat "$OUT/deps/src/download.log" >&2; echo "windows: no source for $name" >&2; exit 1; }
    [ -d "$OUT/deps/src/$name" ] && continue
    mkdir -p "$OUT/deps/src/$name"
    tar -xf "$orig" -C "$OUT/deps/src/$name" --strip-components=1
  done
  src() { echo "$OUT/deps/src/$1"; }

  # Each library once: a step that failed starts again from its own.
  done_() { [ -f "$PREFIX/.$1" ]; }
  if ! done_ mpg123; then
  log "mpg123"
  (cd "$(src mpg123)" &&
    ./configure -q --host=$HOST --prefix="$PREFIX" --enable-static --disable-shared \
      --with-cpu=x86-64 --with-audio=dummy --with-default-audio=dummy >/dev/null &&
    make -s -j"$JOBS" src/libmpg123/libmpg123.la >/dev/null &&
    make -s install-libLTLIBRARIES install-includeHEADERS install-nodist_includeHEADERS install-pkgconfigDATA >/dev/null)
  touch "$PREFIX/.mpg123"
  fi

  if ! done_ sdl2; then
  log "SDL2"
  cmake -S "$(src libsdl2)" -B "$OUT/deps/sdl2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF >/dev/null
  cmake --build "$OUT/deps/sdl2" -j"$JOBS" >/dev/null
  cmake --install "$OUT/deps/sdl2" >/dev/null
  touch "$PREFIX/.sdl2"
  fi

  if ! done_ mixer; then
  log "SDL2_mixer"
  cmake -S "$(src libsdl2-mixer)" -B "$OUT/deps/mixer" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DBAUBLES_WIN_DEPS="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_PREFIX_PATH="$PREFIX" -DBUILD_SHARED_LIBS=ON -DSDL2MIXER_SAMPLES=OFF \
    -DSDL2MIXER_MP3=ON -DSDL2MIXER_MP3_MPG123=ON -DSDL2MIXER_MP3_MPG123_SHARED=OFF -DSDL2MIXER_MP3_DRMP3=OFF \
    -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MIDI=OFF \
    -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS=OFF \
    "-DCMAKE_C_STANDARD_LIBRARIES=-lshlwapi -lkernel32 -luser32 -lgdi32 -lshell32 -lole32 -loleaut32 -luuid -ladvapi32" \
    >/dev/null
  cmake --build "$OUT/deps/mixer" -j"$JOBS" >/dev/null
  cmake --install "$OUT/deps/mixer" >/dev/null
  touch "$PREFIX/.mixer"
  fi

  log "libepoxy"
  cat >"$OUT/deps/meson-cross.txt" <<CROSS
[binaries]
c = '$HOST-gcc-posix'
cpp = '$HOST-g++-posix'
ar = '$HOST-ar'
strip = '$HOST-strip'
windres = '$HOST-windres'
pkg-config = 'pkg-config'
[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
CROSS
  meson setup "$OUT/deps/epoxy" "$(src libepoxy)" --cross-file "$OUT/deps/meson-cross.txt" \
    --prefix="$PREFIX" --libdir=lib --buildtype=release -Degl=no -Dglx=no -Dx11=false -Dtests=false >/dev/null
  ninja -C "$OUT/deps/epoxy" -j"$JOBS" >/dev/null
  ninja -C "$OUT/deps/epoxy" install >/dev/null
  touch "$STAMP"
fi

log "baubles.exe"
cmake -S "$ROOT" -B "$OUT/exe" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DBAUBLES_WIN_DEPS="$PREFIX" \
  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$OUT/exe" --target baubles -j"$JOBS" >/dev/null

# The zip: the program, every DLL it loads that Windows does not have, the
# pictures and the track, and a short README.
VERSION=$(sed -n 's/^project(baubles VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
NAME=baubles-$VERSION-win64
STAGE=$OUT/stage/$NAME
rm -rf "$OUT/stage"
mkdir -p "$STAGE/data"
cp "$OUT/exe/baubles.exe" "$STAGE/"
cp -r "$NATIVE/data/Images" "$NATIVE/data/muzyka" "$STAGE/data/"
cp "$ROOT/tools/windows/README.txt" "$STAGE/README.txt"
sed -i 's/$/\r/' "$STAGE/README.txt"
SEARCH=("$PREFIX/bin" "/usr/lib/gcc/$HOST/12-posix" "/usr/$HOST/lib")
todo=("$STAGE/baubles.exe")
while [ ${#todo[@]} -gt 0 ]; do
  file=${todo[0]}
  todo=("${todo[@]:1}")
  for dll in $($HOST-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
    [ -f "$STAGE/$dll" ] && continue
    found=""
    for dir in "${SEARCH[@]}"; do
      if [ -f "$dir/$dll" ]; then found=$dir/$dll; break; fi
    done
    if [ -n "$found" ]; then
      cp "$found" "$STAGE/"
      todo+=("$STAGE/$dll")
    elif ! echo "$dll" | grep -qiE '^(kernel32|user32|gdi32|winmm|imm32|ole32|oleaut32|version|setupapi|shell32|advapi32|opengl32|glu32|msvcrt|ws2_32|shlwapi|cfgmgr32|hid|dinput8|dxguid|uuid|comdlg32|api-ms-win-.*)\.dll$'; then
      echo "windows: $file needs $dll, which is neither built here nor part of Windows" >&2
      exit 1
    fi
  done
done
rm -f "$OUT/$NAME.zip"
(cd "$OUT/stage" && zip -qr -X "$OUT/$NAME.zip" "$NAME")
echo "$OUT/$NAME.zip"
