#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End to end: the built program, unchanged, on a private Xvfb display with trayer as the
# notification area, driven with xdotool the way a person uses it.
#
#   e2e.sh HORALUX_BINARY ARTIFACT_DIR DBUS_STANDIN
#
# The program's clock is moved with faketime (a relative offset, so the commands it starts see
# the same clock). Recording stand-ins for systemctl and loginctl come first on PATH: the real
# commands are never reached. The copy of the program lives in a temporary folder, where it keeps
# its settings file; HOME is temporary too. The session bus is a private one, where the D-Bus
# stand-in plays the notification server and records every notice.
#
# First run (clock starts at 10:13:45):
#   - shutdown at 10:15, "Activated" before 10:13:59; logoff at 10:17, not armed; a program (a
#     path with a space, chosen with "Browse") at 10:15, its box ticked;
#   - block 10:15 to 10:16 with "Logoff", "Activated", the question answered Yes;
#   - "Start on system Tray" ticked, "Save"; then "Minimize to tray" from the menu;
#   - the notification server gets the shutdown's notice once, with 60 seconds left and "Cancel";
#   - the shutdown stand-in and the program each run exactly once, within one second after
#     10:15:00, while the window is in the tray; the block stand-in first runs in 10:15:01,
#     then once a second;
#   - restored with a click on the tray icon; "Exit" answered Yes ends the program.
# Second run (clock starts at 10:15:38), started in the tray with days "1":
#   - restored with the tray icon's menu, "Open program";
#   - the saved times are erased from the file, then every "Set Hour" is pressed without touching
#     a box: the file gets back exactly the ten texts of the first run, so the boxes held them;
#   - the block, armed again from those restored boxes, runs the stand-in once a second up to
#     10:15:59 and never at or after 10:16:00, also while the "Exit" question, answered No,
#     stands open; the shutdown stand-in never runs (not armed).
#
# Exit code 77 (skipped) only when Xvfb cannot start.
set -uo pipefail
binary=$(readlink -f "$1")
artifacts=$(mkdir -p "$2" && cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
standin=$(readlink -f "$3")

for tool in trayer xdotool xwininfo xdpyinfo faketime import; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (scripts/deps.sh installs it)"; exit 1; }
done

work=$(mktemp -d /tmp/horalux-e2e.XXXXXX)
source "$here/xsession.sh"
trap 'xs_cleanup; rm -rf "$work"' EXIT
source "$here/checks.sh"
CHECKS_FAILURE_SHOT="$artifacts/e2e-failure.png"

if ! xs_start_x "$work"; then
    echo "SKIPPED: Xvfb cannot start here, so the end-to-end test cannot run"
    exit 77
fi
xs_start_tray || die "trayer did not start"
dbus-daemon --config-file="$here/private_bus.conf" --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
XS_PIDS+=($!)
xs_wait 10 test -s "$work/bus" || die "the private session bus did not start"
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
"$standin" notify >"$work/notices.log" 2>&1 &
XS_PIDS+=($!)
xs_wait 10 grep -q ready "$work/notices.log" || die "the stand-in notification server did not start"

# --- the program's private world ---
export TZ=UTC
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$work/app" "$work/bin"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
cp "$binary" "$work/app/horalux"
settings=$work/app/data.hxdata

for cmd in systemctl loginctl; do
    cat >"$work/bin/$cmd" <<EOF
#!/bin/sh
# Stand-in: records the call with the (faked) time and does nothing else.
printf '%s %s %s\n' "\$(date +%T.%N)" "$cmd" "\$*" >>"\${HX_CALL_LOG:-$work/calls-unknown.log}"
EOF
    chmod +x "$work/bin/$cmd"
done
export PATH=$work/bin:$PATH
for cmd in systemctl loginctl; do
    [ "$(command -v "$cmd")" = "$work/bin/$cmd" ] || die "$cmd would not be the stand-in"
done
# The user's own program, in a folder whose name holds a space.
user_program="$work/my programs/hx-program"
mkdir -p "$work/my programs"
cat >"$user_program" <<EOF
#!/bin/sh
printf '%s program %s\n' "\$(date +%T.%N)" "\$*" >>"\${HX_CALL_LOG:-$work/calls-unknown.log}"
EOF
chmod +x "$user_program"
: >"$work/calls-unknown.log"

# --- clock ---
day=$(date +%F)
at() { date -d "$day $1" +%s; }           # a time of today, as seconds since the epoch
offset=0                                  # fake minus real seconds for the running program
# start_program FAKE_START LOG: starts the program so that its clock reads FAKE_START now.
start_program() {
    offset=$(( $(at "$1") - $(date +%s) ))
    local faked
    if (( offset >= 0 )); then faked="+${offset}s"; else faked="-$(( -offset ))s"; fi
    HX_CALL_LOG=$2 FAKETIME_DONT_FAKE_MONOTONIC=1 faketime -f "$faked" "$work/app/horalux" \
        >>"$work/horalux.log" 2>&1 &
    # faketime runs the program as its child and leaves it running when it is stopped itself:
    # the program's own id is the one to stop.
    local wrapper=$! child=""
    for _ in $(seq 100); do child=$(pgrep -P "$wrapper" | head -1); [ -n "$child" ] && break; sleep 0.05; done
    program_pid=${child:-$wrapper}
    XS_PIDS+=("$wrapper" "$program_pid")
    xs_log "program started, its clock at $1 (offset ${offset}s)"
}
# wait_fake HH:MM:SS: sleeps until the program's clock has passed that time.
wait_fake() {
    local real=$(( $(at "$1") - offset ))
    while (( $(date +%s) < real )); do sleep 0.1; done
    sleep 0.3
}
fake_now() { date -d "@$(( $(date +%s) + offset ))" +%T; }

source "$here/drive.sh"

# key KEY: the value of KEY in the settings file.
key() { awk -F= -v k="$1" 'tolower($1) == k { v = substr($0, length($1) + 2) } END { print v }' "$settings" | tr -d '\r'; }
# seconds-of-day of each call in a log, for one command
times_of() { awk -v c="$2" '$2 == c { split($1, t, ":"); printf "%.3f\n", t[1] * 3600 + t[2] * 60 + t[3] }' "$1"; }
sod() { local h m s; IFS=: read -r h m s <<<"$1"; echo $(( 10#$h * 3600 + 10#$m * 60 + 10#$s )); }

# ================= first run =================
log1=$work/calls-run1.log; : >"$log1"
start_program 10:13:45 "$log1"
locate_window
pass "window \"Horalux\" shown, 627 pixels wide, client area 221 high"
tray_icon_present && fail "tray icon shown at start, though not started in the tray"

pick "${C1[@]}" 10; pick "${C2[@]}" 15
click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set"
click "${CHECK1[@]}"
now=$(fake_now)
(( $(sod "$now") < $(sod 10:13:59) )) || die "arming the shutdown took too long: the program's clock is already at $now"
pick "${C3[@]}" 10; pick "${C4[@]}" 17
click "${SET_LOGOFF[@]}"; answer Return "logoff time set"
pick "${C6[@]}" 10; pick "${C5[@]}" 15
click "${SET_PROGRAM[@]}"; answer Return "program time set"
# The program to start: ticked, then chosen with "Browse" by typing its path into the dialog.
click "${CHECK3[@]}"
click "${BROWSE[@]}"
xs_wait 5 xs_viewable "Select the exetutable program" || die "\"Browse\" opened no dialog titled \"Select the exetutable program\""
dialog=$(xs_window_id "Select the exetutable program")
timeout 3 xdotool windowfocus --sync "$dialog" 2>/dev/null
sleep 0.3
xdotool type --delay 20 "$user_program"
for _ in 1 2 3; do
    sleep 0.5
    xs_id_viewable "$dialog" || break
    xdotool key Return      # a first Return may only close the file name completion list
done
xs_wait 3 bash -c "! xwininfo -id $dialog 2>/dev/null | grep -q IsViewable" || die "the file dialog stayed open"
pass "program chosen with \"Browse\""
pick "${C7[@]}" 10; pick "${C8[@]}" 15; pick "${C10[@]}" 10; pick "${C9[@]}" 16
click "${SET_BLOCK[@]}"; answer Return "block question, Yes"; answer Return "block time set"
click "${OPTION2[@]}"; click "${CHECK4[@]}"
click "${CHECK6[@]}"
click "${SAVE[@]}"; answer Return "settings saved"
import -window "$win" "$artifacts/e2e-armed.png"

expect_keys() {
    local k want got bad=0
    for pair in "$@"; do
        k=${pair%%=*}; want=${pair#*=}; got=$(key "$k")
        [ "$got" = "$want" ] || { fail "settings file: $k is '$got', expected '$want'"; bad=1; }
    done
    return $bad
}
expect_keys s1=10 s2=15 l1=10 l2=17 e1=10 e2=15 i1=10 i2=15 f1=10 f2=16 days=1 systray=1 \
    && pass "settings file holds the ten picked texts, days=1 and systray=1"

options_menu 1   # "Minimize to tray"
xs_wait 5 bash -c "! xwininfo -id $win 2>/dev/null | grep -q IsViewable" || fail "window still shown after \"Minimize to tray\""
xs_wait 5 tray_icon_present && pass "\"Minimize to tray\": window hidden, icon in the notification area" \
    || fail "no icon in the notification area"

now=$(fake_now)
(( $(sod "$now") < $(sod 10:14:59) )) || die "setting up took too long: the program's clock is already at $now"
pass "set up and hidden by $now"

wait_fake 10:15:04
# Restore with a click on the icon.
xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 1
xs_wait 5 xs_viewable Horalux && pass "click on the tray icon restores the window" \
    || fail "click on the tray icon did not restore the window"
xs_wait 5 bash -c "! xwininfo -tree -name panel | grep -q '\"horalux\"'" && pass "icon left the notification area" \
    || fail "icon still in the notification area after restoring"
wait_fake 10:15:07
locate_window
options_menu 2   # "Exit"
answer Return "exit question, Yes"
for _ in $(seq 50); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program_pid" 2>/dev/null && fail "\"Exit\" answered Yes did not end the program" \
    || pass "\"Exit\" answered Yes ended the program"
xs_stop "$program_pid"
echo "--- calls in the first run (program clock) ---"; cat "$log1"

mapfile -t shut < <(times_of "$log1" systemctl)
if (( ${#shut[@]} == 1 )); then pass "shutdown stand-in ran exactly once"
else fail "shutdown stand-in ran ${#shut[@]} times, expected once"; fi
grep -q ' systemctl poweroff$' "$log1" && pass "shutdown command is \"systemctl poweroff\"" \
    || fail "shutdown stand-in not called as \"systemctl poweroff\""
t0=$(sod 10:15:00)
for t in "${shut[@]}"; do
    awk -v t="$t" -v a="$t0" 'BEGIN { exit !(t >= a && t < a + 1) }' \
        && pass "shutdown at $t s of the day, within one second after 10:15:00" \
        || fail "shutdown at $t s of the day, not within [10:15:00, 10:15:01)"
done
mapfile -t notices < <(grep -F '|Shutdown at 10:15|' "$work/notices.log")
[[ ${#notices[@]} == 1 && ${notices[0]} == *"at 10:15 (in 60 seconds).|cancel,Cancel|"* ]] \
    && pass "the notification server got the shutdown's notice once, 60 seconds ahead, with \"Cancel\"" \
    || fail "shutdown notices received: ${notices[*]:-none}; expected one, 60 seconds ahead, with \"Cancel\""
mapfile -t prog < <(times_of "$log1" program)
if (( ${#prog[@]} == 1 )) && awk -v t="${prog[0]}" -v a="$t0" 'BEGIN { exit !(t >= a && t < a + 1) }'; then
    pass "the chosen program (a path with a space) started once, within one second after 10:15:00"
else
    fail "the chosen program started ${#prog[@]} times (${prog[*]:-never}), expected once in [10:15:00, 10:15:01)"
fi
mapfile -t block1 < <(times_of "$log1" loginctl)
if (( ${#block1[@]} > 0 )); then
    first=${block1[0]}; last=${block1[-1]}
    awk -v t="$first" -v a="$(sod 10:15:01)" 'BEGIN { exit !(t >= a && t < a + 1) }' \
        && pass "block: first logoff in 10:15:01, none at 10:15:00 (bounds are strict)" \
        || fail "block: first logoff at $first s, expected within 10:15:01"
    span=$(awk -v a="$first" -v b="$last" 'BEGIN { print int(b) - int(a) + 1 }')
    (( ${#block1[@]} == span )) && pass "block: ${#block1[@]} logoffs in $span seconds" \
        || fail "block: ${#block1[@]} logoffs in $span seconds, expected one a second"
else
    fail "block: the logoff stand-in never ran in the first run"
fi
grep -v ' loginctl terminate-session auto$' "$log1" | grep -q loginctl \
    && fail "logoff stand-in called with unexpected arguments"

# ================= second run: days "1", systray "1" =================
log2=$work/calls-run2.log; : >"$log2"
start_program 10:15:38 "$log2"
sleep 2
xs_wait 5 tray_icon_present && pass "started in the tray (systray=1): icon present" \
    || fail "started with systray=1 but no icon in the notification area"
xs_viewable Horalux && fail "started with systray=1 but the window is shown"
import -window root "$artifacts/e2e-tray.png"
# The icon's menu, "Open program".
popup_open xdotool mousemove --sync "$XS_TRAY_X" "$XS_TRAY_Y" click 3 || die "the tray icon's menu did not open"
sleep 0.3
import -window root "$artifacts/e2e-tray-menu.png"
xdotool key Down Return
popup_closed || die "the tray icon's menu stayed open"
xs_wait 5 xs_viewable Horalux && pass "tray menu \"Open program\" restores the window" \
    || die "tray menu \"Open program\" did not restore the window"
locate_window
sleep 0.3
import -window "$win" "$artifacts/e2e-restored.png"

# Only the start-up read the times; erase them and let the boxes write what they hold.
printf '[settings]\ndays=1\nsystray=1\n' >"$settings"
click "${SET_SHUTDOWN[@]}"; answer Return "shutdown time set again"
click "${SET_LOGOFF[@]}"; answer Return "logoff time set again"
click "${SET_PROGRAM[@]}"; answer Return "program time set again"
click "${SET_BLOCK[@]}"; answer Return "block question, Yes"; answer Return "block time set again"
expect_keys s1=10 s2=15 l1=10 l2=17 e1=10 e2=15 i1=10 i2=15 f1=10 f2=16 \
    && pass "after a restart with days=1 the ten boxes hold the chosen hours and minutes"
click "${OPTION2[@]}"; click "${CHECK4[@]}"
now=$(fake_now)
(( $(sod "$now") < $(sod 10:15:56) )) || die "second set-up took too long: the program's clock is at $now"
armed_at=$now
# "Exit" answered No, the question left open for two seconds: the program goes on, and the
# once-a-second count below shows that the clock is watched while the box is open.
options_menu 2
xs_wait 5 xs_viewable horalux || die "no exit question"
question_at=$(fake_now)
sleep 2
answer Escape "exit question, No (open from $question_at)"
sleep 0.5
kill -0 "$program_pid" 2>/dev/null && xs_viewable Horalux && pass "\"Exit\" answered No: program and window stay" \
    || fail "\"Exit\" answered No ended the program or hid its window"
wait_fake 10:16:04
xs_stop "$program_pid"
echo "--- calls in the second run (program clock; block armed at $armed_at) ---"; cat "$log2"

grep -q systemctl "$log2" && fail "shutdown ran in the second run, where it was never armed"
mapfile -t block2 < <(times_of "$log2" loginctl)
if (( ${#block2[@]} > 0 )); then
    first=${block2[0]}; last=${block2[-1]}
    end=$(sod 10:16:00)
    awk -v t="$last" -v e="$end" 'BEGIN { exit !(t >= e - 1 && t < e) }' \
        && pass "block: last logoff in 10:15:59, none at or after 10:16:00" \
        || fail "block: last logoff at $last s of the day, expected within 10:15:59"
    awk -v t="$first" -v a="$(sod "$armed_at")" 'BEGIN { exit !(t >= a - 1 && t < a + 3) }' \
        || fail "block: first logoff at $first s, long after arming at $armed_at"
    span=$(awk -v a="$first" -v b="$last" 'BEGIN { print int(b) - int(a) + 1 }')
    (( ${#block2[@]} == span )) && pass "block: ${#block2[@]} logoffs in $span seconds, once a second" \
        || fail "block: ${#block2[@]} logoffs in $span seconds, expected one a second"
else
    fail "block: the logoff stand-in never ran in the second run (boxes not restored?)"
fi

grep -q program "$log2" && fail "the chosen program ran in the second run, where it was not armed"
[ -s "$work/calls-unknown.log" ] && fail "a stand-in ran outside the program: $(cat "$work/calls-unknown.log")"
[ -z "$(find "$HOME" -iname 'data.hxdata' 2>/dev/null)" ] || fail "a settings file was written under HOME"

# ================= started in the tray before the panel is up =================
# At login the program often starts before the panel: it waits minimized, and goes into the tray
# once the panel is up (looking once a second). trayer is stopped, the program started with
# systray=1, and trayer started again 3 s later: within 5 s the icon is there, the window gone.
for pid in "${XS_PIDS[@]}"; do [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = trayer ] && xs_stop "$pid"; done
panel_gone() { ! xs_viewable panel; }
window_gone() { ! xs_viewable Horalux; }
xs_wait 5 panel_gone || die "trayer did not stop"
printf '[settings]\nsystray=1\n' >"$settings"
start_program 10:20:00 "$work/calls-login.log"
sleep 3
xs_viewable Horalux && pass "no notification area yet: the window stays reachable" \
    || fail "no notification area, and the window is not on screen"
xs_start_tray || die "trayer did not start again"
xs_wait 5 tray_icon_present && xs_wait 5 window_gone \
    && pass "the panel came up 3 s later: icon in it and window hidden within 5 s" \
    || fail "the panel came up 3 s later, but the icon is not in it or the window still shown"
import -window root "$artifacts/e2e-login-tray.png"
xs_stop "$program_pid"

echo "$failures failure(s); screenshots in $artifacts"
[ "$failures" -eq 0 ]
