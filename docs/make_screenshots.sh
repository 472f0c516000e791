#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the screenshots shown in the README from the built program, under a private Xvfb with
# trayer as the notification area:  docs/make_screenshots.sh [BUILD_DIR]
# Writes docs/window.png, docs/options-menu.png and docs/tray-menu.png, with nothing armed, and
# docs/notice.png: the notice of a shutdown at 22:30 as xfce4-notifyd shows it (install it for
# this picture: apt-get install xfce4-notifyd). The settings file lives in a temporary copy of
# the program's folder, and the shutdown command is a stand-in that does nothing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${HORALUX_BUILD_DIR:-$root/build}}
work=$(mktemp -d /tmp/horalux-shots.XXXXXX)
source "$root/tests/desktop/xsession.sh"
trap 'xs_cleanup; rm -rf "$work"' EXIT
pass() { :; }
die() { echo "$*" >&2; exit 1; }
xs_start_x "$work"
xs_start_tray
mkdir -p "$work/app" "$work/home" "$work/bin"
cp "$build/horalux" "$work/app/horalux"
for cmd in systemctl loginctl xdg-open; do printf '#!/bin/sh\n' >"$work/bin/$cmd"; chmod +x "$work/bin/$cmd"; done
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config PATH=$work/bin:$PATH LANG=C.UTF-8
"$work/app/horalux" >"$work/horalux.log" 2>&1 &
XS_PIDS+=($!)
app=$!
source "$root/docs/drive.sh"
locate_window
# A shutdown at 22:30 and a block from 23:00 to 06:00, chosen but not armed.
pick "${C1[@]}" 22; pick "${C2[@]}" 30
pick "${C7[@]}" 23; pick "${C8[@]}" 00; pick "${C10[@]}" 06; pick "${C9[@]}" 00
click "${OPTION2[@]}"
xdotool mousemove 0 0
sleep 0.3
import -window "$win" "$root/docs/window.png"

xdotool mousemove --sync "$menu_x" "$menu_y" click 1
sleep 0.5
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$root/docs/options-menu.png"
xdotool key Escape
sleep 0.3

options_menu 1       # "Minimize to tray"
xs_wait 5 bash -c "xwininfo -tree -name panel | grep -q '\"horalux\"'"
xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 3
sleep 0.6
# The bare X screen is black: paint the empty desktop around the panel and the menu grey-blue.
import -window root -crop 200x80+0+688 +repage "$work/tray.png"
convert "$work/tray.png" -fill '#5b6f84' -draw 'color 199,0 floodfill' "$root/docs/tray-menu.png"
xdotool key Escape
xs_stop "$app"

# The notice: a private session bus, which starts the notification server on demand (the notice
# carries the program's icon itself); the program's clock starts at 22:28:48, so the shutdown armed for
# 22:30 is announced at 22:29:00.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
XS_PIDS+=($!)
xs_wait 10 test -s "$work/bus"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "@$(date +%F) 22:28:48" "$work/app/horalux" >>"$work/horalux.log" 2>&1 &
XS_PIDS+=($!)
locate_window
pick "${C1[@]}" 22; pick "${C2[@]}" 30
click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set"
click "${CHECK1[@]}"
xdotool mousemove 0 0
xs_wait 30 xs_viewable xfce4-notifyd || die "no notice shown: is xfce4-notifyd installed?"
sleep 1
eval "$(xdotool getwindowgeometry --shell "$(xs_window_id xfce4-notifyd)")"
import -window root -crop "$(( WIDTH + 24 ))x$(( HEIGHT + 24 ))+$(( X - 12 ))+$(( Y - 12 ))" +repage "$work/notice.png"
convert "$work/notice.png" -fill '#5b6f84' -draw 'color 0,0 floodfill' "$root/docs/notice.png"
echo "wrote docs/window.png docs/options-menu.png docs/tray-menu.png docs/notice.png"
