#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Horalux for 64-bit Windows, cross-built here with MinGW-w64:  windows.sh [zip|test]
#   zip   builds horalux.exe and packs horalux-<version>-windows-x64.zip in the work tree (default);
#   test  builds the program and the Windows test programs, and runs them under Wine on a
#         private Xvfb, each run in a fresh Wine prefix, then the end-to-end test of the zip.
# Qt for Windows comes from ../shared/toolchains/ beside the work tree when it is there, unpacked
# once into the cache folder; otherwise the zip mode builds it there from Debian's source, which
# takes 60-90 minutes, and the test mode fails, saying so in one line.
# The build goes to build-windows/ (or $HORALUX_WINDOWS_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-zip}
build=${HORALUX_WINDOWS_BUILD_DIR:-$root/build-windows}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/horalux
qt=$cache/qt6-mingw64
archive=$root/../shared/toolchains/qt6-mingw64-6.4.2.tar.xz
export HORALUX_COMMAND=$0 # named in deps.sh's advice
"$root/scripts/deps.sh" windows

if [ ! -f "$qt/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  if [ -f "$archive" ]; then
    echo "Unpacking Qt for Windows into $cache…"
    mkdir -p "$cache"
    rm -rf "$qt"
    tar -xJf "$archive" -C "$cache"
  elif [ "$mode" = test ]; then
    echo "Windows tests: FAILED, no Qt for Windows ($archive is missing and $qt is empty); run scripts/windows.sh once to build it (60-90 min)" >&2
    exit 1
  else
    echo "Qt for Windows is not there: building it from Debian's source into $cache. This takes a long while (60-90 minutes on 2 cores)."
    bash "$root/scripts/build-qt6-mingw.sh" "$cache/qt-build"
    tar -xJf "$cache/qt-build/qt6-mingw64-6.4.2.tar.xz" -C "$cache"
  fi
fi

echo "Configuring for Windows…"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tests/windows/wine-run.sh" >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log" >&2; echo "Configuring for Windows failed" >&2; exit 1; }

# The zip: the program, exactly the DLLs it loads, the licence and a short README.txt.
pack() {
  cmake --build "$build" --target horalux --parallel 2
  local version stage runtime=/usr/lib/gcc/x86_64-w64-mingw32/12-posix
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  zip=$1/horalux-$version-windows-x64.zip
  stage=$(mktemp -d)
  mkdir -p "$stage/platforms" "$stage/styles"
  x86_64-w64-mingw32-strip -o "$stage/horalux.exe" "$build/horalux.exe"
  cp "$qt"/bin/Qt6{Core,Gui,Widgets}.dll "$runtime"/libstdc++-6.dll "$runtime"/libgcc_s_seh-1.dll \
    /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$root/LICENSE" "$stage/"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  # The MinGW runtime as Debian ships it keeps its symbols (libstdc++ is 23 MB with them).
  x86_64-w64-mingw32-strip --strip-unneeded "$stage"/lib*.dll
  sed 's/$/\r/' >"$stage/README.txt" <<TXT
Horalux $version for Windows (64-bit)

Shuts the computer down, logs you off or starts a program at the times of day you choose.

Unzip this folder anywhere you may write to and start horalux.exe. Its settings are kept in
data.hxdata beside horalux.exe. To start Horalux when you log in, put a shortcut to
horalux.exe in your Startup folder (press Windows+R, type shell:startup, press Enter).

Horalux is free software under the GNU General Public License, version 3 or later (LICENSE).
TXT
  rm -f "$zip"
  (cd "$stage" && zip -q -X -r "$zip" .)
  rm -rf "$stage"
}

if [ "$mode" != test ]; then
  pack "$root"
  echo "Made $zip ($(stat -c %s "$zip") bytes)"
  exit 0
fi

echo "Building the Windows tests…"
cmake --build "$build" --parallel 2
pack "$build"
# One fresh Wine prefix for this run, and Xvfb for the windows Wine makes.
prefix=$(mktemp -d /tmp/horalux-wine.XXXXXX)
source "$root/tests/desktop/xsession.sh"
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; xs_cleanup; rm -rf "$prefix"' EXIT
xs_start_x "$prefix" || { echo "Windows tests: FAILED, Xvfb cannot start" >&2; exit 1; }
unset QT_QPA_PLATFORM # Wine would hand it to the Windows programs
win() { local p; p=$(cd "$1" && pwd); echo "Z:${p//\//\\}"; }
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="$(win "$qt/bin");$(win /usr/lib/gcc/x86_64-w64-mingw32/12-posix);$(win /usr/x86_64-w64-mingw32/lib)"
wineboot -i >/dev/null 2>&1
cd "$build"
ctest --output-on-failure --timeout 600
xs_cleanup
WINEPREFIX= bash "$root/tests/windows/e2e.sh" "$zip"
