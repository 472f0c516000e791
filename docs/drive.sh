# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by docs/make_screenshots.sh after tests/desktop/xsession.sh: drives Horalux's window
# with xdotool as a person would. The caller defines pass and die. Places come from the window's
# layout: its twips divided by 15 give pixels from the top-left corner of the client area, below
# the menu bar.

ox=0; oy=0; win=""
locate_window() {
    xs_wait 10 xs_viewable Horalux || die "the Horalux window is not on screen"
    win=$(xs_window_id Horalux)
    eval "$(xdotool getwindowgeometry --shell "$win")"
    local menubar=$(( HEIGHT - 221 ))
    (( WIDTH == 627 && menubar >= 10 && menubar <= 40 )) \
        || die "window is ${WIDTH}x${HEIGHT}; expected 627 wide and a 221-pixel client area below a menu bar"
    ox=$X; oy=$(( Y + menubar )); menu_x=$(( X + 25 )); menu_y=$(( Y + menubar / 2 ))
}
click() { xdotool mousemove --sync "$(( ox + $1 ))" "$(( oy + $2 ))" click 1; sleep 0.15; }
# A drop-down list or a menu opens as a new top-level window: popup_open CLICK... runs the click
# and waits for it, then sets popup to its id; popup_closed waits until it has gone.
toplevel_ids() { xdotool search --maxdepth 1 --onlyvisible --name '' 2>/dev/null | sort; }
popup=""
new_toplevel() {
    popup=$(comm -13 <(printf '%s\n' "$1") <(toplevel_ids) | head -1)
    [ -n "$popup" ]
}
popup_open() {
    local before; before=$(toplevel_ids)
    "$@"
    xs_wait 3 new_toplevel "$before"
}
popup_closed() { xs_wait 3 bash -c "! xwininfo -id $popup 2>/dev/null | grep -q IsViewable"; }

# pick X Y TEXT: opens the drop-down list at (X, Y) and picks the item TEXT by typing it.
pick() {
    popup_open click "$1" "$2" || die "no drop-down list opened at ($1, $2)"
    sleep 0.1
    xdotool type --delay 60 "$3"
    xdotool key Return
    popup_closed || die "the drop-down list at ($1, $2) stayed open"
    sleep 0.1
}
# answer KEY: waits for the next message box (caption "horalux"), answers it with KEY and waits
# until it has gone. Return presses the default button: OK, or Yes in a question.
answer() {
    xs_wait 5 xs_viewable horalux || die "no message box appeared ($2)"
    local box; box=$(xs_window_id horalux)
    timeout 3 xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key "$1"
    xs_wait 5 bash -c "! xwininfo -id $box 2>/dev/null | grep -q IsViewable" || die "message box stayed ($2)"
    sleep 0.2
    pass "message box answered: $2"
}
# options_menu N: opens "Options" and chooses its N-th item (the separator is skipped).
options_menu() {
    popup_open xdotool mousemove --sync "$menu_x" "$menu_y" click 1 || die "the Options menu did not open"
    sleep 0.1
    xdotool key --delay 80 $(for _ in $(seq "$1"); do echo Down; done) Return
    popup_closed || die "the Options menu stayed open"
    sleep 0.2
}
tray_icon_present() { xwininfo -tree -name panel 2>/dev/null | grep -q '"horalux"'; }

# Control centres, from the layout.
C1=(168 34); C2=(168 58)          # shutdown hour, minute
C3=(160 114); C4=(160 138)        # logoff hour, minute
C6=(384 34); C5=(440 34)          # program hour, minute
C7=(376 146); C8=(440 146)        # block from
C10=(528 146); C9=(584 146)       # block until
SET_SHUTDOWN=(268 44); SET_LOGOFF=(268 124); SET_PROGRAM=(564 44); SET_BLOCK=(564 180)
CHECK1=(28 40); CHECK4=(324 176); OPTION2=(486 176); CHECK6=(14 176); SAVE=(272 180)
CHECK3=(328 64); BROWSE=(568 64)

