# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by e2e.sh, bench/startup_compare.sh, scripts/clean_machine.sh and
# docs/make_screenshots.sh: a private X display with a notification area, and bounded waits.
# Every process started here is recorded in XS_PIDS and ended by xs_cleanup, by its own id.
XS_PIDS=()

# xs_wait SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; fails after SECONDS.
xs_wait() {
    local deadline=$(( $(date +%s%N) + $1 * 1000000000 ))
    shift
    until "$@" >/dev/null 2>&1; do (( $(date +%s%N) < deadline )) || return 1; sleep 0.05; done
}

# xs_start_x WORKDIR: Xvfb on a display it picks, exported as DISPLAY; fails when none starts.
xs_start_x() {
    XS_WORK=$1
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$1/xvfb.display" >"$1/xvfb.log" 2>&1 &
    XS_PIDS+=($!)
    xs_wait 15 test -s "$1/xvfb.display" || { tail -3 "$1/xvfb.log" >&2; return 1; }
    export DISPLAY=":$(tr -dc 0-9 <"$1/xvfb.display")" QT_QPA_PLATFORM=xcb
    # Nothing of the desktop session we may run inside may leak in.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE SESSION_MANAGER
    xs_wait 10 xdpyinfo
}

# xs_start_tray: trayer in the screen's lower-left corner, 64x24 pixels; its first icon lies at
# about (XS_TRAY_X, XS_TRAY_Y). Its id is the last of XS_PIDS.
XS_TRAY_X=12 XS_TRAY_Y=756
xs_start_tray() {
    trayer --edge bottom --align left --widthtype pixel --width 64 --heighttype pixel --height 24 \
        --transparent false --tint 0xd0d0d0 --SetDockType true >"$XS_WORK/trayer.log" 2>&1 &
    XS_PIDS+=($!)
    xs_wait 10 xs_viewable panel && sleep 0.3
}

# xs_window_ids NAME: the windows on screen titled exactly NAME (letter case counts: "horalux"
# message boxes are not the "Horalux" window): children of the root window, or of a window
# manager's frame (deeper down lie the icons in the tray).
xs_window_ids() {
    local id
    for id in $(xwininfo -root -tree 2>/dev/null | grep -E '^ {5}( {3})?0x' | grep -F " \"$1\": " | awk '{ print $1 }'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
    done
    return 0
}
xs_window_id() { xs_window_ids "$1" | head -1; }
xs_viewable() { [ -n "$(xs_window_ids "$1")" ]; }

# xs_stop PID: ends one process started here, first politely; xs_cleanup: all, the last first.
xs_stop() {
    kill -TERM "$1" 2>/dev/null || return 0
    for _ in {1..40}; do kill -0 "$1" 2>/dev/null || return 0; sleep 0.05; done
    kill -KILL "$1" 2>/dev/null; return 0
}
xs_cleanup() { local i; for (( i = ${#XS_PIDS[@]} - 1; i >= 0; i-- )); do xs_stop "${XS_PIDS[i]}"; done; XS_PIDS=(); }
