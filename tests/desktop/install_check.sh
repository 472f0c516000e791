#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The installed layout and the Debian package:
#   install_check.sh SOURCE_DIR BUILD_DIR
# - the desktop entry and the AppStream metadata pass desktop-file-validate and appstreamcli;
# - `cmake --install` puts the program, the desktop entry, the four icons and the metadata where
#   desktops look for them;
# - `cpack -G DEB` makes a package holding the same files, whose Depends name the Debian
#   package of every library the program links, and of Qt's X11 display plugin.
set -uo pipefail
src=$1
build=$2
work=$(mktemp -d /tmp/horalux-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }

desktop_entry=$src/data/horalux.desktop
metainfo=$src/data/io.github.horalux.horalux.metainfo.xml

# Validators: each prints its complaints, and fails on an error or a warning.
check "desktop-file-validate horalux.desktop" desktop-file-validate "$desktop_entry"
check "appstreamcli validate metainfo" appstreamcli validate --no-net "$metainfo"

# key FILE KEY: the value of KEY in the [Desktop Entry] group.
key() { awk -F= -v k="$2" '/^\[/ { g = $0 } g == "[Desktop Entry]" && $1 == k { print substr($0, length(k) + 2); exit }' "$1"; }
check "Name=Horalux" test "$(key "$desktop_entry" Name)" = Horalux
check "Exec=horalux" test "$(key "$desktop_entry" Exec)" = horalux
check "Icon=horalux" test "$(key "$desktop_entry" Icon)" = horalux
check "Type=Application" test "$(key "$desktop_entry" Type)" = Application
check "Categories has Utility" grep -qE '^Categories=(.*;)?Utility;' "$desktop_entry"
check "Comment is one line" test -n "$(key "$desktop_entry" Comment)"
check "metainfo launches horalux.desktop" \
    grep -q '<launchable type="desktop-id">horalux.desktop</launchable>' "$metainfo"

# --- cmake --install into a private prefix ---
prefix=$work/prefix
if cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
    pass "cmake --install"
else
    fail "cmake --install"; cat "$work/install.log"
fi
expected=(
    bin/horalux
    share/applications/horalux.desktop
    share/metainfo/io.github.horalux.horalux.metainfo.xml
    share/icons/hicolor/16x16/apps/horalux.png
    share/icons/hicolor/32x32/apps/horalux.png
    share/icons/hicolor/48x48/apps/horalux.png
    share/icons/hicolor/scalable/apps/horalux.svg
)
for f in "${expected[@]}"; do check "installed $f" test -f "$prefix/$f"; done
check "installed program is executable" test -x "$prefix/bin/horalux"
for n in 16 32 48; do
    check "${n}x${n} icon is a ${n} x ${n} PNG" \
        grep -q "PNG image data, $n x $n," <(file "$prefix/share/icons/hicolor/${n}x${n}/apps/horalux.png")
done
check "scalable icon is SVG" grep -qi 'SVG' <(file "$prefix/share/icons/hicolor/scalable/apps/horalux.svg")
check "installed desktop entry valid" desktop-file-validate "$prefix/share/applications/horalux.desktop"
check "installed metainfo valid" appstreamcli validate --no-net \
    "$prefix/share/metainfo/io.github.horalux.horalux.metainfo.xml"

# --- the Debian package ---
if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
    pass "cpack -G DEB"
else
    fail "cpack -G DEB"; cat "$work/cpack.log"
fi
deb=$(ls "$work"/pkg/horalux_*.deb 2>/dev/null | head -1)
if [ -z "$deb" ]; then
    fail "no .deb made"
else
    echo "package: $(basename "$deb")"
    dpkg-deb -I "$deb" | sed 's/^/    /'
    depends=$(dpkg-deb -f "$deb" Depends)
    check "Package is horalux" test "$(dpkg-deb -f "$deb" Package)" = horalux
    # Depends as a list of bare package names.
    dep_names=$(tr ',' '\n' <<<"$depends" | sed 's/(.*)//; s/|.*//; s/ //g' | sort -u)
    for p in libqt6core6 libqt6gui6 libqt6widgets6; do
        check "Depends names $p" grep -qx "$p" <<<"$dep_names"
    done
    contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
    for f in "${expected[@]}"; do check "package holds /usr/$f" grep -qx "./usr/$f" <<<"$contents"; done

    # Every library the packaged program needs must come from a package it depends on.
    dpkg-deb -x "$deb" "$work/root"
    packaged=$work/root/usr/bin/horalux
    check "packaged program is an executable ELF" grep -q 'ELF .* executable' <(file -L "$packaged")
    while read -r lib; do
        path=$(ldd "$packaged" | awk -v l="$lib" '$1 == l { print $3 }')
        if [ -z "$path" ] || [ "$path" = "not" ]; then fail "library $lib not found"; continue; fi
        real=$(readlink -f "$path")
        owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "$path" 2>/dev/null || true)
        owner=${owner%%:*}
        if [ -n "$owner" ] && grep -qx "$owner" <<<"$dep_names"; then
            pass "$lib comes from $owner, a dependency"
        else
            fail "$lib ($real) comes from '${owner:-no package}', not named in Depends: $depends"
        fi
    done < <(objdump -p "$packaged" | awk '$1 == "NEEDED" { print $2 }')
    # Qt's X11 display plugin is loaded at run time, so no linker records it.
    xcb_owner=$(dpkg -S /usr/lib/x86_64-linux-gnu/qt6/plugins/platforms/libqxcb.so 2>/dev/null \
        || dpkg -S 'qt6/plugins/platforms/libqxcb.so' 2>/dev/null | head -1)
    xcb_owner=${xcb_owner%%:*}
    check "X11 display plugin's package (${xcb_owner:-none found}) is in Depends" \
        grep -qx "${xcb_owner:-none}" <<<"$dep_names"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
