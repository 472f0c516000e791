#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program as the Debian package installs it, in a folder its user cannot write:
#   readonly_install.sh BUILD_DIR ARTIFACT_DIR
# The .deb made by cpack is unpacked into a private tree and its /usr/bin/horalux run as an
# unprivileged user (nobody, through setpriv, when the test runs as root, since root may write
# anywhere). Without a display it must say so on one line and exit with status 1; under Xvfb
# it starts, and "Set Hour" and "Save" write the settings into ~/.config/horalux, not beside
# the program; when the test runs as root, also for root running it from under /usr.
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
dpkg-deb -x "$work"/pkg/horalux_*.deb "$work/root" || die "cannot unpack the package"
bindir=$work/root/usr/bin
program=$bindir/horalux
home=$work/home
mkdir -p -m 700 "$home" "$home/runtime"
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else
    chmod -R a-w "$work/root"
    as_user=()
fi
${as_user[@]+"${as_user[@]}"} test -w "$work/root/usr/bin" && die "the program's folder is writable: nothing to show"
# Nothing is armed here; stand-ins keep the real commands out of reach all the same.
mkdir -p "$work/bin"
for cmd in systemctl loginctl xdg-open; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls.log"\n' "$cmd" "$home" >"$work/bin/$cmd"
    chmod 755 "$work/bin/$cmd"
done
# run COMMAND...: as the unprivileged user, in a clean environment (always in a subshell).
run() { exec ${as_user[@]+"${as_user[@]}"} env -i HOME="$home" PATH="$work/bin:/usr/bin:/bin" TZ=UTC \
    XDG_RUNTIME_DIR="$home/runtime" LANG=C.UTF-8 "$@"; }

# Over ssh, say: no display at all.
said=$(run "$program" 2>&1 >/dev/null); status=$?
echo "    $said"
[ "$status" -eq 1 ] && [ "$(wc -l <<<"$said")" -eq 1 ] && grep -q 'needs a graphical desktop session' <<<"$said" \
    && pass "without a display: one line and exit status 1" || fail "without a display: status $status"

xs_start_x "$work" || { echo "SKIPPED: Xvfb cannot start here"; exit 77; }
xs_start_tray || die "trayer did not start"
run DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb "$program" >"$work/horalux.log" 2>&1 &
program_pid=$!
XS_PIDS+=("$program_pid")
source "$here/drive.sh"
locate_window
[ "$(ps -o uid= -p "$program_pid" | tr -d ' ')" = "$(run id -u)" ] && pass "the packaged program starts, unprivileged" \
    || fail "the program does not run as the unprivileged user"
pick "${C1[@]}" 07; pick "${C2[@]}" 45
click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set"
click "${SAVE[@]}"; answer Return "settings saved"
import -window "$win" "$artifacts/readonly-window.png"
xs_stop "$program_pid"

saved=$home/.config/horalux/data.hxdata
sed 's/^/    /' "$saved" 2>/dev/null || sed 's/^/    /' "$work/horalux.log"
for line in s1=07 s2=45 days=1 systray=0; do
    grep -qx "$line" "$saved" 2>/dev/null && pass "~/.config/horalux/data.hxdata holds $line" || fail "~/.config/horalux/data.hxdata lacks $line"
done
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
