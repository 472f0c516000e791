#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the Debian package that cpack makes, as lintian judges it and as a user meets it.
#
#   e2e.sh BUILD_DIR DESKTOP_DBUS ARTIFACT_DIR
#
# The package is unpacked into a folder its user cannot write, and its program run as that user
# (nobody, through setpriv, when the test runs as root) in a clean environment: without a display
# it says so on one line and exits with status 1. Then on a private Xvfb with trayer as the
# notification area, driven with xdotool as a person would. Recording stand-ins for systemctl and
# loginctl come first on PATH: the real commands are never reached. The session bus is a private
# one, where DESKTOP_DBUS plays the notification server. The program's clock is libfaketime's:
# real time plus an offset, which the test rewrites to jump to just before each moment that matters.
#
# First run, the clock at 10:00: shutdown at 10:15 "Activated"; logoff at 10:17; a program (a path
# with a space, chosen with "Browse") at 10:15, ticked; block from 10:14 to 10:15 by "Logoff";
# "Start on system Tray"; "Save": the file in ~/.config/horalux holds them. "Minimize to tray";
# clock to 10:13:57: the shutdown's notice, once, 60 s ahead, with "Cancel"; a click on the icon
# brings the window back; clock to 10:14:57; "Exit" answered Yes after 10:15:01. The block logged
# off from 10:14:01 to 10:14:59 at most once a second; the shutdown and the program each ran once,
# within a second after 10:15:00.
# Second run (as root from under /usr, when the test runs as root), as at login, under Xfce's
# window manager xfwm4: started with systray=1 before the panel, the window waits minimized until
# trayer starts 3 s later, then within 5 s the icon is there and the window gone; a click on the
# icon brings it back normal and painted (compared with a screenshot of the first run), and so
# does the icon's menu, "Open program", after "Minimize to tray". The notice carries the
# program's icon and is critical.
# Exit code 77 (skipped) only when Xvfb cannot start.
set -uo pipefail
export TZ=UTC
build=$(readlink -f "$1") standin=$(readlink -f "$2") artifacts=$(mkdir -p "$3" && cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd) faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 | head -1)
for tool in trayer xfwm4 xdotool xwininfo xdpyinfo import compare convert lintian dbus-daemon setpriv faketime; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh installs it)"; exit 1; }; done
work=$(mktemp -d /tmp/horalux-e2e.XXXXXX) && chmod 755 "$work"
source "$here/xsession.sh"
trap 'xs_cleanup; chmod -R u+w "$work"; rm -rf "$work"' EXIT
failures=0
# ok WHAT: passes or fails by the status of the command just before.
ok() { if (( $? == 0 )); then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
die() { echo "FAIL: $*"; import -window root "$artifacts/e2e-failure.png" 2>/dev/null; exit 1; }
not() { ! "$@"; }

# --- the package: lintian (in the background), its files, unpacked where its user cannot write ---
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; die "cpack -G DEB"; }
deb=$(ls "$work"/pkg/horalux_*.deb) && dpkg-deb -x "$deb" "$work/root" || die "no package to unpack"
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>/dev/null & lintian_pid=$! && XS_PIDS+=($!)
for f in bin/horalux share/applications/horalux.desktop share/metainfo/io.github.horalux.horalux.metainfo.xml share/man/man1/horalux.1.gz \
    share/icons/hicolor/{16x16,32x32,48x48}/apps/horalux.png share/icons/hicolor/scalable/apps/horalux.svg; do test -f "$work/root/usr/$f"; ok "the package holds /usr/$f"; done
home=$work/home calls=$work/home/calls.log clock=$work/clock
mkdir -p -m 700 "$home/runtime" && mkdir -p "$work/bin" "$work/my programs" && touch "$calls"
for f in "$work/bin/systemctl" "$work/bin/loginctl" "$work/my programs/hx-program"; do   # each records its calls
    printf '#!/bin/sh\necho "$(date +%%T.%%N) %s $*" >>"%s"\n' "${f##*/}" "$calls" >"$f" && chmod 755 "$f"
done
if [ "$(id -u)" -eq 0 ]; then chown -R 65534:65534 "$home" && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
else chmod -R a-w "$work/root" && as_user=(); fi
"${as_user[@]}" test -w "$work/root/usr/bin" && die "the program's folder is writable: nothing to show"
# run [VAR=VALUE...] COMMAND...: as that user, in a clean environment (so always in a subshell), with
# the stand-ins first on PATH, the private bus and the faked clock.
run() {
    exec "${as_user[@]}" env -i HOME="$home" PATH="$work/bin:/usr/bin:/bin" TZ=UTC LANG=C.UTF-8 XDG_RUNTIME_DIR="$home/runtime" \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" LD_PRELOAD="$faketime_lib" FAKETIME_TIMESTAMP_FILE="$clock" FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 "$@"
}
start() { (run DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb "$@") >>"$work/horalux.log" 2>&1 & program_pid=$! && XS_PIDS+=($!); }
day=$(date +%F)
sod() { echo $(( $(date -d "$day $1" +%s) - $(date -d "$day" +%s) )); }  # seconds of the day
set_clock() { printf '%+ds\n' $(( $(date -d "$day $1" +%s) - $(date +%s) )) >"$clock.new" && mv "$clock.new" "$clock"; }
# wait_fake HH:MM:SS: until the program's clock is 0.3 s past that second.
wait_fake() { until (( $(date +%s%3N) + ($(tr -d '+s' <"$clock") - $(date -d "$day $1" +%s)) * 1000 >= 300 )); do sleep 0.05; done; }

# --- the private display, bus and notification server ---
xs_start_x "$work" || { echo "SKIPPED: Xvfb cannot start here"; exit 77; }
xs_start_tray && tray_pid=${XS_PIDS[-1]} || die "trayer did not start"
dbus-daemon --config-file="$here/private_bus.conf" --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 & XS_PIDS+=($!)
xs_wait 10 test -s "$work/bus" || die "the private session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
"$standin" serve notify >"$work/notices.log" 2>&1 & XS_PIDS+=($!)
xs_wait 10 grep -q ready "$work/notices.log" || die "the stand-in notification server did not start"
set_clock 10:00:00
[ "$(run sh -c 'command -v systemctl; command -v loginctl' | xargs)" = "$work/bin/systemctl $work/bin/loginctl" ] || die "no stand-ins first on PATH"
said=$(run "$work/root/usr/bin/horalux" 2>&1 >/dev/null); status=$?
[ $status -eq 1 ] && [ "$(wc -l <<<"$said")" -eq 1 ] && grep -q 'needs a graphical desktop session' <<<"$said"; ok "without a display: exit status $status, saying: $said"

# --- driving: places are the layout's twips / 15, from the top-left corner of the client area ---
locate_window() {
    xs_wait 20 xs_viewable Horalux || die "the Horalux window is not on screen"
    win=$(xs_window_id Horalux) && eval "$(xwininfo -id "$win" | awk -F': *' '/Absolute upper-left X/ { print "X=" $2 } /Absolute upper-left Y/ { print "Y=" $2 }
        /^ *Width/ { print "WIDTH=" $2 } /^ *Height/ { print "HEIGHT=" $2 }')"  # xdotool's place is wrong in a frame
    local bar=$(( HEIGHT - 221 ))   # the menu bar
    (( WIDTH == 627 && bar >= 10 && bar <= 40 )) || die "window is ${WIDTH}x$HEIGHT, not 627 wide with a 221-pixel client area"
    ox=$X oy=$(( Y + bar )) menu_x=$(( X + 25 )) menu_y=$(( Y + bar / 2 ))
}
click() { xdotool mousemove --sync $(( ox + $1 )) $(( oy + $2 )) click 1; sleep 0.15; }
gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
in_tray() { xwininfo -tree -name panel 2>/dev/null | grep -q '"horalux"'; }
toplevels() { xdotool search --maxdepth 1 --onlyvisible --name '' 2>/dev/null | sort; }
new_toplevel() { popup=$(comm -13 <(echo "$1") <(toplevels) | head -1) && [ -n "$popup" ]; }
# popup KEYS CLICK...: the click opens a list or a menu (a new top-level window); KEYS go to it, and it closes.
popup() {
    local keys=$1 before; before=$(toplevels); shift; "$@"
    xs_wait 10 new_toplevel "$before" || die "nothing opened: $*"
    sleep 0.1; eval "$keys"; xs_wait 10 gone "$popup" || die "still open: $*"; sleep 0.2
}
pick() { popup "xdotool type --delay 60 $3; xdotool key Return" click "$1" "$2"; }
options_menu() { popup "xdotool key --delay 80 $1 Return" xdotool mousemove --sync "$menu_x" "$menu_y" click 1; }
# answer KEY: the next message box (caption "horalux") answered with KEY (Return: OK, or Yes).
answer() {
    xs_wait 20 xs_viewable horalux || die "no message box"
    local box; box=$(xs_window_id horalux) && timeout 3 xdotool windowfocus --sync "$box" 2>/dev/null; xdotool key "$1"
    xs_wait 10 gone "$box" || die "a message box stayed"; sleep 0.2
}

# ================= first run =================
start "$work/root/usr/bin/horalux" && locate_window
pick 168 34 10; pick 168 58 15; pick 160 114 10; pick 160 138 17; pick 384 34 10; pick 440 34 15
pick 376 146 10; pick 440 146 14; pick 528 146 10; pick 584 146 15
for at in "268 44" "268 124" "564 44" "564 180"; do click $at && answer Return; done; answer Return  # "Set Hour" each; the block's question: Yes, OK
click 28 40; click 486 176; click 324 176; click 14 176 # Activated (shutdown), Logoff, Activated (block), tray
click 328 64; click 568 64                              # Activated (program), "Browse"
xs_wait 5 xs_viewable "Select the exetutable program" || die "\"Browse\" opened no file dialog"
dialog=$(xs_window_id "Select the exetutable program") && timeout 3 xdotool windowfocus --sync "$dialog" 2>/dev/null
sleep 0.3; xdotool type --delay 20 "$work/my programs/hx-program"
n=0; until xs_wait 1 gone "$dialog"; do (( ++n <= 3 )) || die "the file dialog stayed open"; xdotool key Return; done; sleep 0.5  # a first Return may only close the completion list
click 272 180 && answer Return                          # Save
[ "$(sed -n 's/\r$//; /=/p' "$home/.config/horalux/data.hxdata" | sort | xargs)" = "days=1 e1=10 e2=15 f1=10 f2=15 i1=10 i2=14 l1=10 l2=17 s1=10 s2=15 systray=1" ]
ok "$home/.config/horalux/data.hxdata holds the ten picked texts, days=1, systray=1: $(xargs <"$home/.config/horalux/data.hxdata")"
import -window "$win" "$artifacts/e2e-window.png"         # the window as painted, to compare with later
options_menu Down
xs_wait 5 gone "$win" && xs_wait 5 in_tray; ok "\"Minimize to tray\": the window hidden, the icon in the tray"
set_clock 10:13:57 && wait_fake 10:14:01
xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 1
xs_wait 5 xs_viewable Horalux && xs_wait 5 not in_tray; ok "a click on the icon brings the window back"
set_clock 10:14:57 && wait_fake 10:15:01
locate_window && options_menu "Down Down" && answer Return
xs_wait 5 not kill -0 "$program_pid"; ok "\"Exit\" answered Yes ends the program"
seconds() { awk -v c="$1" '$2 == c { split($1, t, ":"); print int(t[1] * 3600 + t[2] * 60 + t[3]) }' "$calls" | xargs; }
[ "$(seconds systemctl)" = "$(sod 10:15:00)" ]; ok "the shutdown ran once, within a second after 10:15:00 (at: $(seconds systemctl))"
[ "$(seconds hx-program)" = "$(sod 10:15:00)" ]; ok "the chosen program ran once, within a second after 10:15:00 (at: $(seconds hx-program))"
block=($(seconds loginctl))
[ "${block[0]}/${block[-1]}" = "$(sod 10:14:01)/$(sod 10:14:59)" ] && [ -z "$(printf '%s\n' "${block[@]}" | uniq -d)" ]
ok "block: logoffs from 10:14:01 ($(sod 10:14:01)) to 10:14:59 only, at most one a second (at: ${block[*]})"
mapfile -t notices < <(grep -F '|Shutdown at 10:15|' "$work/notices.log")
[[ ${#notices[@]} == 1 && $notices == *"at 10:15 (in 60 seconds).|cancel,Cancel|"*"image-data=(iiibiiay) 48x48/192/1/8/4/"*",urgency=byte 2|"* ]]
ok "the notification server got the shutdown's notice once, 60 s ahead, with \"Cancel\", critical, with the icon's pixels"

# ================= second run: at login, the boxes restored =================
xs_stop "$tray_pid" && xs_wait 5 not xs_viewable panel || die "trayer did not stop"
if [ "$(id -u)" -eq 0 ] && [ -d /usr/games ] && unshare -m true 2>/dev/null; then
    # Root, running it from /usr/games (a private mount: nothing of the machine changes), may write
    # anywhere, yet keeps its settings in its own ~/.config/horalux.
    mkdir -p -m 700 "$work/roothome/runtime" "$work/roothome/.config" && cp -r "$home/.config/horalux" "$work/roothome/.config/"
    home=$work/roothome program=/usr/games/horalux
    as_user=(unshare -m --propagation private sh -c 'mount --bind "$0" /usr/games && exec "$@"' "$work/root/usr/bin")
fi
xfwm4 --compositor=off >"$work/xfwm4.log" 2>&1 & XS_PIDS+=($!)   # Xfce's window manager from now on
xs_wait 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || die "xfwm4 did not start"
start "${program:-$work/root/usr/bin/horalux}" && sleep 3
iconic() { xprop -id "$(xwininfo -root -tree | grep -F '"Horalux": ("horalux"' | awk '{ print $1 }')" WM_STATE | grep -q Iconic; }
iconic; ok "no notification area yet: the window waits minimized"
xs_start_tray || die "trayer did not start again"
xs_wait 5 in_tray && xs_wait 5 not xs_viewable Horalux; ok "the panel up 3 s later: within 5 s the icon in it, the window hidden"
# Painted: it differs from the window seen in the first run far less than a blank window would.
painted() {
    import -window "$win" "$work/now.png" && convert "$work/now.png" -fill "$(convert "$work/now.png" -format '%[pixel:p{1,60}]' info:)" -colorize 100 "$work/blank.png"
    local now blank; now=$(compare -metric AE "$work/now.png" "$artifacts/e2e-window.png" null: 2>&1) blank=$(compare -metric AE "$work/blank.png" "$artifacts/e2e-window.png" null: 2>&1)
    echo "$now pixels differ (a blank window: $blank)"; (( ${now%.*} * 4 < ${blank%.*} ))
}
xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 1 && locate_window && sleep 0.5
not iconic && painted; ok "from a late tray, a click on the icon brings the window back normal and painted"
options_menu Down && xs_wait 5 in_tray && xs_wait 5 not xs_viewable Horalux || die "\"Minimize to tray\" failed"
popup "xdotool key Down Return" xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 3
locate_window && not iconic && painted; ok "the icon's menu, \"Open program\", brings the window back normal and painted"

wait "$lintian_pid" && [ ! -s "$work/lintian.log" ]; ok "lintian: no error, no warning"
cat "$work/lintian.log"
echo "$failures failure(s)" && [ "$failures" -eq 0 ]
