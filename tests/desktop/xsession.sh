# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the desktop tests and bench/startup_compare.sh (sourced, not run): a private X
# display with a notification area, and bounded waits. Every process started here is recorded and
# ended by xs_cleanup, by its own id.

XS_PIDS=()
XS_WORK=${XS_WORK:-}

xs_log() { printf '[%s] %s\n' "$(date +%T)" "$*" >&2; }

# xs_wait SECONDS COMMAND...: runs COMMAND every 50 ms until it succeeds; fails after SECONDS.
xs_wait() {
    local limit=$1; shift
    local deadline=$(( $(date +%s%N) + limit * 1000000000 ))
    until "$@" >/dev/null 2>&1; do
        (( $(date +%s%N) < deadline )) || return 1
        sleep 0.05
    done
}

# The server has written its display number, or has died.
xs_xvfb_settled() { test -s "$1" || ! kill -0 "$XS_XVFB_PID" 2>/dev/null; }

# xs_start_x WORKDIR: starts Xvfb on a free display (the server picks it) and exports DISPLAY.
# Fails when no X server can be started.
xs_start_x() {
    XS_WORK=$1
    command -v Xvfb >/dev/null || { xs_log "Xvfb is not installed"; return 1; }
    local fdfile=$XS_WORK/xvfb.display
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fdfile" \
        >"$XS_WORK/xvfb.log" 2>&1 &
    XS_PIDS+=($!)
    XS_XVFB_PID=$!
    xs_wait 15 xs_xvfb_settled "$fdfile"
    if ! test -s "$fdfile"; then
        xs_log "Xvfb did not start: $(tail -3 "$XS_WORK/xvfb.log" 2>/dev/null)"
        return 1
    fi
    export DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
    xs_wait 10 xdpyinfo || { xs_log "display $DISPLAY does not answer"; return 1; }
    # Nothing of the desktop session we may run inside may leak in.
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY XDG_SESSION_TYPE SESSION_MANAGER
    export QT_QPA_PLATFORM=xcb
    xs_log "Xvfb on $DISPLAY"
}

# xs_start_tray: a notification area (trayer) in the screen's lower-left corner, 64x24 pixels.
# The first icon sits at about (12, 756).
XS_TRAY_X=12
XS_TRAY_Y=756
xs_start_tray() {
    trayer --edge bottom --align left --widthtype pixel --width 64 --heighttype pixel --height 24 \
        --transparent false --tint 0xd0d0d0 --SetDockType true >"$XS_WORK/trayer.log" 2>&1 &
    XS_PIDS+=($!)
    xs_wait 10 xs_viewable panel || { xs_log "trayer did not start"; return 1; }
    sleep 0.3
}

# xs_window_ids NAME: the ids of the top-level windows on screen titled exactly NAME (letter case
# counts: "horalux" message boxes are not the "Horalux" window). Without a window manager every
# top-level window is a child of the root window.
xs_window_ids() {
    local id
    for id in $(xwininfo -root -children 2>/dev/null | grep -F " \"$1\": " | awk '{ print $1 }'); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
    done
    return 0
}
xs_window_id() { xs_window_ids "$1" | head -1; }
# xs_viewable NAME: such a window is on screen.
xs_viewable() { [ -n "$(xs_window_ids "$1")" ]; }
# xs_id_viewable ID: the window ID exists and is on screen.
xs_id_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# xs_stop PID: ends one process started here, first politely.
xs_stop() {
    local pid=$1
    kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 40); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.05; done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

xs_cleanup() {
    local i
    for (( i=${#XS_PIDS[@]}-1; i>=0; i-- )); do xs_stop "${XS_PIDS[i]}"; done
    XS_PIDS=()
}
