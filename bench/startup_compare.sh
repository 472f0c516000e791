#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints Horalux's start-up time, peak memory and idle CPU next to those of a bare Qt 6 window
# (bench/bare_window.cpp), both built by this run, measured side by side under a private Xvfb
# with trayer as the notification area.
#
#   bench/startup_compare.sh [BUILD_DIR] [RUNS] [IDLE_SECONDS]
#
# - start to mapped: from the fork until the window is viewable on the display (median of RUNS,
#   the two programs started alternately);
# - peak RSS: VmHWM of each of those runs, one second after the window is mapped (median);
# - idle CPU: time on a CPU over IDLE_SECONDS while both sit hidden behind a tray icon,
#   run at the same time (Horalux starts in the tray through its settings file, systray=1).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${HORALUX_BUILD_DIR:-$root/build}}
runs=${2:-7}
idle=${3:-60}

for tool in Xvfb trayer xdotool xwininfo xdpyinfo; do
    command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/deps.sh" >&2; exit 1; }
done

cmake --build "$build" --target horalux bench_bare_window >/dev/null
horalux_bin=$build/horalux
bare_bin=$build/bench/bare_window

work=$(mktemp -d /tmp/horalux-bench.XXXXXX)
source "$root/tests/desktop/xsession.sh"
trap 'xs_cleanup; rm -rf "$work"' EXIT
xs_start_x "$work"
xs_start_tray

# A private copy of the program keeps its settings file in its own temporary folder, and a
# private HOME keeps every other file away from the user's.
mkdir -p "$work/app" "$work/home"
cp "$horalux_bin" "$work/app/horalux"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
# Nothing armed can fire here, but the program must never reach the real system commands.
mkdir -p "$work/bin"
for cmd in systemctl loginctl xdg-open; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls.log"\n' "$cmd" "$work" >"$work/bin/$cmd"
    chmod +x "$work/bin/$cmd"
done
export PATH=$work/bin:$PATH

now_ns() { date +%s%N; }

# measure_start TITLE COMMAND...: prints "<ms to mapped> <VmHWM kB>".
measure_start() {
    local title=$1; shift
    local t0 t1 pid hwm
    t0=$(now_ns)
    "$@" >>"$work/programs.log" 2>&1 &
    pid=$!
    XS_PIDS+=("$pid")
    until xs_viewable "$title"; do
        if (( $(now_ns) - t0 > 20000000000 )); then echo "no window \"$title\" in 20 s" >&2; exit 1; fi
        sleep 0.002
    done
    t1=$(now_ns)
    sleep 1
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
    xs_stop "$pid"
    echo "$(( (t1 - t0) / 1000000 )) $hwm"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$work/h.txt"; : >"$work/b.txt"
# One unmeasured start each warms the file cache.
measure_start Horalux "$work/app/horalux" >/dev/null
measure_start "Bare window" "$bare_bin" >/dev/null
for (( i = 0; i < runs; i++ )); do
    measure_start Horalux "$work/app/horalux" >>"$work/h.txt"
    measure_start "Bare window" "$bare_bin" >>"$work/b.txt"
done
h_map=$(cut -d' ' -f1 "$work/h.txt" | median); b_map=$(cut -d' ' -f1 "$work/b.txt" | median)
h_rss=$(cut -d' ' -f2 "$work/h.txt" | median); b_rss=$(cut -d' ' -f2 "$work/b.txt" | median)

# Idle in the tray, both at once.
printf '[settings]\nsystray=1\n' >"$work/app/data.hxdata"
"$work/app/horalux" >>"$work/programs.log" 2>&1 &
h_pid=$!; XS_PIDS+=("$h_pid")
"$bare_bin" --tray >>"$work/programs.log" 2>&1 &
b_pid=$!; XS_PIDS+=("$b_pid")
sleep 3
if xs_viewable Horalux; then echo "Horalux did not start in the tray" >&2; exit 1; fi
# Time on a CPU, in microseconds, of all the process's threads (the scheduler counts it in
# nanoseconds; the user + system times of /proc/PID/stat only in 10 ms steps).
cpu_us() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s / 1000 }'; }
h0=$(cpu_us "$h_pid"); b0=$(cpu_us "$b_pid")
sleep "$idle"
h1=$(cpu_us "$h_pid"); b1=$(cpu_us "$b_pid")
kill -0 "$h_pid" && kill -0 "$b_pid"
h_cpu=$(awk -v a="$h0" -v b="$h1" 'BEGIN { printf "%.2f", (b - a) / 1000 }')
b_cpu=$(awk -v a="$b0" -v b="$b1" 'BEGIN { printf "%.2f", (b - a) / 1000 }')
[ ! -s "$work/calls.log" ] || { echo "unexpected system command:"; cat "$work/calls.log"; } >&2

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
echo "Horalux against a bare Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6) window; $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
printf '%-44s %10s %10s %8s\n' "" "Horalux" "bare" "ratio"
printf '%-44s %10s %10s %8s\n' "start to window mapped, ms (median of $runs)" "$h_map" "$b_map" "$(ratio "$h_map" "$b_map")"
spread() { cut -d' ' -f1 "$1" | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }
printf '%-44s %10s %10s\n' "  range of the $runs starts, ms" "$(spread "$work/h.txt")" "$(spread "$work/b.txt")"
printf '%-44s %10s %10s %8s\n' "peak RSS, MiB (median of $runs)" \
    "$(awk -v k="$h_rss" 'BEGIN{printf "%.1f", k/1024}')" "$(awk -v k="$b_rss" 'BEGIN{printf "%.1f", k/1024}')" "$(ratio "$h_rss" "$b_rss")"
printf '%-44s %10s %10s %8s\n' "CPU over ${idle} s idle in tray, ms" "$h_cpu" "$b_cpu" "$(ratio "$h_cpu" "$b_cpu")"
