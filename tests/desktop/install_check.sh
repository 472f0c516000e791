#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed layout and the Debian package:  install_check.sh SOURCE_DIR BUILD_DIR
# - `cmake --install` puts every file where desktops, man and dpkg look for it, and the desktop
#   entry and the AppStream metadata pass their validators;
# - `cpack -G DEB` makes a package holding the same files that lintian accepts without an error
#   or a warning, and whose Depends name the package of every library the program links and of
#   Qt's X11 display plugin.
set -uo pipefail
src=$1 build=$2
work=$(mktemp -d /tmp/horalux-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log"; die "cmake --install"; }
expected=(
    bin/horalux share/applications/horalux.desktop share/man/man1/horalux.1.gz
    share/metainfo/io.github.horalux.horalux.metainfo.xml share/icons/hicolor/scalable/apps/horalux.svg
    share/doc/horalux/copyright share/doc/horalux/changelog.Debian.gz share/lintian/overrides/horalux
)
for n in 16 32 48; do
    expected+=("share/icons/hicolor/${n}x$n/apps/horalux.png")
    check "${n}x$n icon is a $n x $n PNG" \
        grep -q "PNG image data, $n x $n," <(file "$prefix/share/icons/hicolor/${n}x$n/apps/horalux.png")
done
for f in "${expected[@]}"; do check "installed $f" test -f "$prefix/$f"; done
entry=$prefix/share/applications/horalux.desktop
check "desktop-file-validate" desktop-file-validate "$entry"
check "appstreamcli validate" appstreamcli validate --no-net "$prefix/share/metainfo/io.github.horalux.horalux.metainfo.xml"
for line in Name=Horalux Exec=horalux Icon=horalux Type=Application Categories=Utility\;; do
    check "desktop entry has $line" grep -qx "$line" "$entry"
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; die "cpack -G DEB"; }
deb=$(ls "$work"/pkg/horalux_*.deb)
dpkg-deb -I "$deb" | sed 's/^/    /'
# Errors and warnings fail; an override needs a comment in data/lintian-overrides saying why.
lintian --fail-on error,warning "$deb" 2>/dev/null | tee "$work/lintian.log"
check "lintian: no error, no warning" test "${PIPESTATUS[0]}" -eq 0 -a ! -s "$work/lintian.log"
contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
for f in "${expected[@]}"; do check "package holds /usr/$f" grep -qx "./usr/$f" <<<"$contents"; done

# Every library the packaged program needs, and the X11 display plugin Qt loads at run time,
# must come from a package it depends on.
depends=$(dpkg-deb -f "$deb" Depends)
dep_names=$(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//; s/ //g')
dpkg-deb -x "$deb" "$work/root"
packaged=$work/root/usr/bin/horalux
libs=$(objdump -p "$packaged" | awk '$1 == "NEEDED" { print $2 }')
[ -n "$libs" ] || fail "no library found in $packaged"
for lib in $libs qt6/plugins/platforms/libqxcb.so; do
    path=$(ldd "$packaged" | awk -v l="$lib" '$1 == l { print $3 }')
    owner=$(dpkg -S "$(readlink -f "${path:-/nonexistent}")" 2>/dev/null || dpkg -S "${path:-$lib}" 2>/dev/null)
    owner=${owner%%:*}
    check "$lib comes from ${owner:-no package}, named in Depends" grep -qx "${owner:-none}" <<<"$dep_names"
done

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
