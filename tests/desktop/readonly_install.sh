#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program as the Debian package installs it, in a folder its user cannot write:
#   readonly_install.sh BUILD_DIR ARTIFACT_DIR
# The .deb made by cpack is unpacked into a private root-owned tree and its /usr/bin/horalux run
# under Xvfb, as an unprivileged user (nobody, through setpriv, when the test runs as root, since
# root may write anywhere). Shows that the packaged program starts, and that "Set Hour" and "Save"
# then write the settings file into the per-user configuration folder ~/.config/horalux, not
# beside the program; when the test runs as root, also for root running it from under /usr.
# Exit code 77 (skipped) only when Xvfb cannot start.
set -uo pipefail
build=$(readlink -f "$1")
artifacts=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/horalux-readonly.XXXXXX)
chmod 755 "$work"
source "$here/xsession.sh"
trap 'xs_cleanup; chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
source "$here/checks.sh"
CHECKS_FAILURE_SHOT="$artifacts/readonly-failure.png"

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log"; die "cpack -G DEB failed"; }
deb=$(ls "$work"/pkg/horalux_*.deb | head -1)
dpkg-deb -x "$deb" "$work/root" || die "cannot unpack $deb"
bindir=$work/root/usr/bin
pass "unpacked $(basename "$deb")"

home=$work/home
mkdir -p "$home/runtime" "$work/bin"
chmod 700 "$home/runtime"
if [ "$(id -u)" -eq 0 ]; then
    # root writes anywhere whatever the mode bits say: run as nobody.
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
    who="nobody (uid 65534)"
else
    chmod -R a-w "$work/root"
    as_user=()
    who="$(id -un)"
fi
if "${as_user[@]}" test -w "$bindir"; then
    die "$bindir is writable for $who: this run could not show the read-only case"
fi
pass "$bindir is not writable for $who"

# Nothing is armed here; stand-ins keep the real commands out of reach all the same.
for cmd in systemctl loginctl xdg-open; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls.log"\n' "$cmd" "$home" >"$work/bin/$cmd"
    chmod 755 "$work/bin/$cmd"
done

if ! xs_start_x "$work"; then
    echo "SKIPPED: Xvfb cannot start here, so the installed program cannot be shown"
    exit 77
fi
xs_start_tray || die "trayer did not start"

"${as_user[@]}" env -i HOME="$home" DISPLAY="$DISPLAY" PATH="$work/bin:/usr/bin:/bin" TZ=UTC \
    XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    "$bindir/horalux" >"$work/horalux.log" 2>&1 &
program_pid=$!
XS_PIDS+=("$program_pid")
source "$here/drive.sh"
locate_window
pass "the packaged program starts and shows its window, run as $who"
[ "$(ps -o uid= -p "$program_pid" | tr -d ' ')" = "$(${as_user[@]+"${as_user[@]}"} id -u)" ] \
    || fail "the program does not run as $who"

pick "${C1[@]}" 07; pick "${C2[@]}" 45
click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set"
click "${SAVE[@]}"; answer Return "settings saved"
import -window "$win" "$artifacts/readonly-window.png"
xs_stop "$program_pid"

found=$(find "$work" -iname 'data.hxdata' | sed "s|^$work/||")
echo "settings files: ${found:-none}"
expected=$home/.config/horalux/data.hxdata
if [ -f "$expected" ]; then
    pass "settings written to ~/.config/horalux/data.hxdata"
    sed 's/^/    /' "$expected"
    grep -qx 's1=07' "$expected" && grep -qx 's2=45' "$expected" && grep -qx 'days=1' "$expected" \
        && grep -qx 'systray=0' "$expected" \
        && pass "it holds s1=07, s2=45, days=1, systray=0" || fail "unexpected contents"
else
    fail "no settings file in ~/.config/horalux"
    sed 's/^/    /' "$work/horalux.log"
fi
[ -z "$(find "$work/root" -iname 'data.hxdata')" ] && pass "nothing written beside the program" \
    || fail "a settings file appeared in the install tree"
[ ! -s "$home/calls.log" ] || fail "a system command was started: $(cat "$home/calls.log")"

# Root running the installed program (seen at /usr/games through a private mount, so nothing
# of the machine changes) may write anywhere, yet keeps its settings in its own ~/.config/horalux:
# one run as root must not leave a file beside the program that every user would then read.
if [ "$(id -u)" -eq 0 ] && [ -d /usr/games ] && unshare -m true 2>/dev/null; then
    roothome=$work/roothome
    mkdir -p -m 700 "$roothome/runtime"
    unshare -m --propagation private sh -c 'mount --bind "$1" /usr/games && exec env -i HOME="$2" \
        DISPLAY="$3" PATH="$4" TZ=UTC XDG_RUNTIME_DIR="$2/runtime" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
        /usr/games/horalux' sh "$bindir" "$roothome" "$DISPLAY" "$work/bin:/usr/bin:/bin" >"$work/root.log" 2>&1 &
    program_pid=$!
    XS_PIDS+=("$program_pid")
    locate_window
    pick "${C1[@]}" 08; pick "${C2[@]}" 30
    click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set, as root"
    xs_stop "$program_pid"
    grep -qx 's1=08' "$roothome/.config/horalux/data.hxdata" 2>/dev/null \
        && [ -z "$(find "$work/root" -iname 'data.hxdata')" ] \
        && pass "as root, the installed program writes to root's ~/.config/horalux, not beside itself" \
        || fail "as root, the installed program did not keep its settings in ~/.config/horalux: $(find "$work" -iname data.hxdata)"
fi

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
