#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds Debian 12's own Qt 6.4.2 (qtbase: Core, Gui, Widgets, Test) for 64-bit Windows with
# mingw-w64 (posix threads), using the host's Qt 6.4.2 tools (moc, rcc, uic), and packs the result
# (tablet events off: Debian's source leaves out the Wintab header) as WORK/qt6-mingw64-6.4.2.tar.xz. Run as root: it installs what it needs and, where apt has no
# source lists, adds Debian 12's (deb-src) to fetch qt6-base's source. About 60-90 min on 2 cores.
# Usage: build-qt6-mingw.sh [WORK]   (default /tmp/qt6-mingw)
set -euo pipefail
toolchain=$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake
work=${1:-/tmp/qt6-mingw}
prefix=$work/qt6-mingw64
mkdir -p "$work" && cd "$work"
DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends cmake ninja-build \
  qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix xz-utils >/dev/null
if ! apt-get source -q --download-only qt6-base >/dev/null 2>&1; then
  # The same archive apt already uses for binary packages, for sources too.
  uri=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/*.sources 2>/dev/null)
  [[ -n $uri ]] || uri=$(awk '$1 == "deb" && $3 ~ /^bookworm$/ { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
  [[ -n $uri ]] || { echo "no Debian archive found in apt's sources" >&2; exit 1; }
  printf 'Types: deb-src\nURIs: %s\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" >/etc/apt/sources.list.d/qt6-mingw-src.sources
  apt-get update -q >/dev/null
fi
if [[ ! -d qtbase-everywhere-src-6.4.2 ]]; then
  [[ -f qt6-base_6.4.2+dfsg.orig.tar.xz ]] || apt-get source -q --download-only qt6-base >/dev/null
  tar xf qt6-base_6.4.2+dfsg.orig.tar.xz
fi
src=$work/qtbase-everywhere-src-6.4.2
# Qt 6.4.2 leaves dynamic OpenGL on when OpenGL is off, and then one check of the Windows plugin
# names OpenGL classes that are not built.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
  "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
# The project's own toolchain file; Qt finds its packages in the MinGW root only.
export HORALUX_FIND_PACKAGE_MODE=ONLY
cmake -S "$src" -B build -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF -DFEATURE_icu=OFF \
  -DFEATURE_zstd=OFF -DFEATURE_vulkan=OFF -DFEATURE_directwrite3=OFF \
  -DFEATURE_pkg_config=OFF -DFEATURE_tabletevent=OFF > configure.log 2>&1
cmake --build build -j2 > build.log 2>&1
cmake --install build > install.log 2>&1
x86_64-w64-mingw32-strip --strip-unneeded "$prefix"/bin/*.dll "$prefix"/plugins/*/*.dll 2>/dev/null || true
tar -C "$work" -cJf "$work/qt6-mingw64-6.4.2.tar.xz" qt6-mingw64
ls -la "$work/qt6-mingw64-6.4.2.tar.xz"
