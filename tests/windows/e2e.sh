#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end on Windows, under Wine:  e2e.sh ZIP
# The zip is unpacked into a fresh folder, with recording stand-ins (tests/windows/stand_in.cpp)
# as shutdown.exe and logoff.exe beside horalux.exe, where Windows' program search finds them
# before its own, and as "my programs\hx program.exe". horalux.exe runs in a fresh Wine prefix on
# a private Xvfb with trayer as the notification area, its clock libfaketime's (real time plus an
# offset), and is driven from the keyboard along the window's Tab order. The clock at 10:00:
# shutdown at 10:05, logoff at 10:06, the program (chosen with "Browse") at 10:05; each "Set Hour"
# answered. data.hxdata appears beside horalux.exe with the six times. "Minimize to tray" hides
# the window; a click on the icon brings it back. Clock to 10:04:57, then 10:05:57: the shutdown
# ran once with exactly "-s -t 5 -f" and the program once, both recorded within two seconds from
# 10:05:00 (a stand-in notes the time it started, and Wine takes a while to start a process);
# logoff.exe once, within two seconds from 10:06:00.
set -uo pipefail
export TZ=UTC
zip=$(readlink -f "$1") here=$(cd "$(dirname "$0")" && pwd)
faketime_lib=$(ls /usr/lib/*/faketime/libfaketime.so.1 | head -1)
work=$(mktemp -d /tmp/horalux-wine-e2e.XXXXXX)
source "$here/../desktop/xsession.sh"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPATH=
trap 'wineserver -k 2>/dev/null; xs_cleanup; rm -rf "$work"' EXIT
failures=0
ok() { if (( $? == 0 )); then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi; }
die() { echo "FAIL: $*"; import -window root "${TMPDIR:-/tmp}/horalux-wine-e2e-failure.png" 2>/dev/null; exit 1; }
app=$work/Horalux programs="$work/Horalux/my programs"
mkdir -p "$app" && unzip -q "$zip" -d "$app" || die "cannot unpack $zip"
[ "$(cd "$app" && find . -type f | sort | xargs)" = "./LICENSE ./Qt6Core.dll ./Qt6Gui.dll ./Qt6Widgets.dll ./README.txt ./horalux.exe ./libgcc_s_seh-1.dll ./libstdc++-6.dll ./libwinpthread-1.dll ./platforms/qwindows.dll ./styles/qwindowsvistastyle.dll" ]
ok "the zip holds horalux.exe, its DLLs, LICENSE and README.txt, and nothing else"
stand_in=$(find "$(dirname "$zip")" -name stand_in.exe | head -1)
mkdir -p "$programs" && cp "$stand_in" "$app/shutdown.exe" && cp "$stand_in" "$app/logoff.exe" \
  && cp "$stand_in" "$programs/hx program.exe" || die "no stand-in beside the zip"

day=$(date +%F) clock=$work/clock
set_clock() { printf '%+ds\n' $(( $(date -d "$day $1" +%s) - $(date +%s) )) >"$clock.new" && mv "$clock.new" "$clock"; }
wait_fake() { until (( $(date +%s%3N) + ($(tr -d '+s' <"$clock") - $(date -d "$day $1" +%s)) * 1000 >= 300 )); do sleep 0.05; done; }
set_clock 10:00:00
xs_start_x "$work" || die "Xvfb cannot start"
xs_start_tray || die "trayer did not start"
wineboot -i >/dev/null 2>&1
# The Linux session's variables do not reach the program (DISPLAY stays: Wine's own X11 driver
# reads it); the start-up check that wants a display must not stop it on Windows.
(cd "$work" && exec env -u XDG_RUNTIME_DIR -u XDG_SESSION_TYPE -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
  -u DBUS_SESSION_BUS_ADDRESS LD_PRELOAD="$faketime_lib" FAKETIME_TIMESTAMP_FILE="$clock" \
  FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 wine "$app/horalux.exe") >"$work/horalux.log" 2>&1 &
XS_PIDS+=($!)
xs_wait 60 xs_viewable Horalux || die "the Horalux window did not come ($(tail -3 "$work/horalux.log"))"
win=$(xs_window_id Horalux)
keys() { xdotool windowactivate --sync "$win" 2>/dev/null; sleep 0.3; xdotool key --delay 120 "$@"; sleep 0.3; }
typed() { xdotool type --delay 120 "$1"; sleep 0.2; }
answer() { # the next message box (caption "horalux"), answered with Return
  xs_wait 20 xs_viewable horalux || die "no message box"
  local box n=0; box=$(xs_window_id horalux)
  until xs_wait 2 eval '! xs_viewable horalux'; do
    (( ++n <= 4 )) || die "a message box stayed"
    xdotool windowactivate "$box" 2>/dev/null; sleep 0.5; xdotool key Return
  done; sleep 0.3
}
# Check1, Combo1, Combo2, Combo3, Check2, Combo4, Combo5, Combo6, Check3: the Tab order.
keys space Tab && typed 10 && keys Tab && typed 05 && keys Tab && typed 10 && keys Tab space Tab \
  && typed 06 && keys Tab && typed 05 && keys Tab && typed 10 && keys Tab space Tab Tab space
xs_wait 20 xs_viewable "Select the exetutable program" || die "\"Browse\" opened no file dialog"
xdotool windowactivate --sync "$(xs_window_id "Select the exetutable program")" 2>/dev/null; sleep 0.5
xdotool key --delay 100 End shift+Home BackSpace && typed "Z:${programs//\//\\}\\hx program.exe" && xdotool key Return
xs_wait 20 eval '! xs_viewable "Select the exetutable program"' || die "the file dialog stayed open"
keys Tab space && answer && keys Tab space && answer && keys Tab space && answer   # Command2, 3, 4
seen=$(xargs <"$app/data.hxdata" 2>/dev/null)
[ "$(sed -n 's/\r$//; /=/p' "$app/data.hxdata" 2>/dev/null | sort | xargs)" = "e1=10 e2=05 l1=10 l2=06 s1=10 s2=05" ]
ok "data.hxdata beside horalux.exe holds the three times: $seen"
keys alt Return Return
xs_wait 10 eval '! xs_viewable Horalux'; ok "\"Minimize to tray\" hides the window"
sleep 1 && xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 1
xs_wait 10 xs_viewable Horalux; ok "a click on the tray icon brings the window back"
set_clock 10:04:57 && wait_fake 10:05:01 && set_clock 10:05:57 && wait_fake 10:06:01 && sleep 1
# ran TEXT PATTERN WHAT: the stand-ins' records (time, a tab, the command line) that hold TEXT are
# one, and it matches PATTERN.
ran() { local seen; seen=$(cat "$app/calls.log" "$programs/calls.log" 2>/dev/null | tr -d '\r' | grep -F "$1")
  [ "$(grep -c -E "$2" <<<"$seen")/$(wc -l <<<"$seen")" = 1/1 ]; ok "$3: $seen"; }
ran shutdown $'^10:05:0[01]\\.[0-9]{3}\tshutdown -s -t 5 -f$' "shutdown.exe ran once, within two seconds from 10:05:00, with exactly -s -t 5 -f"
ran logoff $'^10:06:0[01]\\.[0-9]{3}\tlogoff.exe$' "logoff.exe ran once, within two seconds from 10:06:00"
ran 'hx program' '^10:05:0[01]\.' "the program whose path has a space ran once, within two seconds from 10:05:00"
echo "$failures failed"
if (( failures > 0 )); then # the records and the program's output, kept for a look
  keep=${TMPDIR:-/tmp}/horalux-wine-e2e-logs && rm -rf "$keep" && mkdir -p "$keep"
  cp -r "$app" "$work/horalux.log" "$keep/" 2>/dev/null; import -window root "$keep/screen.png"; echo "logs in $keep"
fi
exit $(( failures > 0 ))
