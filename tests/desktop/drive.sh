# Sourced by the desktop tests after xsession.sh: drives Horalux's window with xdotool as a
# person would. The caller defines pass and die. Places come from the window's layout: its twips
# divided by 15 give pixels from the top-left corner of the client area, below the menu bar.

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
# pick X Y TEXT: opens the drop-down list at (X, Y) and picks the item TEXT by typing it.
pick() {
    click "$1" "$2"
    sleep 0.35
    xdotool type --delay 60 "$3"
    xdotool key Return
    sleep 0.25
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
    xdotool mousemove --sync "$menu_x" "$menu_y" click 1
    sleep 0.4
    xdotool key --delay 80 $(for _ in $(seq "$1"); do echo Down; done) Return
    sleep 0.3
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

