#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Mutation check: does the test suite notice when a rule of the program is broken?
#
#   scripts/mutate.sh [N | PATTERN]...
#
# Applies each mutation of scripts/mutations.txt (its format is described at the head of that
# file) to a scratch copy of the tracked files of this work tree, rebuilds the copy, runs the
# tests quickest first and stops at the first failure, then puts the file back. With arguments,
# only the mutations whose number is given, or whose line matches one of the patterns
# (grep -E), are run. One line per mutation:
#   killed        a test failed (named, with "timeout" when it hung past its limit)
#   SURVIVED      every test passed: the suite misses that fault
#   NOT APPLIED   the text to find is missing, or found more than once: the list is stale
#   BUILD BROKEN  the mutated program does not compile: the list must hold compilable slips
# then a total. Exit status 0 only when every mutation run was killed.
#
# The work tree itself is never touched. The scratch copy and its build are kept between runs
# in $HORALUX_MUTATE_DIR (default /tmp/horalux-mutate-$USER), so a second run only rebuilds
# what changed. $HORALUX_MUTATE_TIMEOUT (seconds, default 120) limits each test of a mutated
# build that sets no limit of its own. $HORALUX_MUTATE_SKIP_BASELINE=1 skips the first run
# of the whole suite on the unchanged copy (that run proves the suite passes before anything
# is broken, and measures the test times that set the order).
#
# Only files under src/ may be mutated, and never src/scheduler/actions.cpp: the tests' own
# guards (the stand-ins for systemctl and loginctl first on PATH) and the texts of the system
# commands stay as they are, so no mutation can reach a real shutdown or logoff.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
list=$root/scripts/mutations.txt
scratch=${HORALUX_MUTATE_DIR:-/tmp/horalux-mutate-${USER:-$(id -un)}}
test_timeout=${HORALUX_MUTATE_TIMEOUT:-120}
copy=$scratch/tree
build=$scratch/build
sep=' ⟶ '
eol='⏎'
export QT_QPA_PLATFORM=offscreen

say() { printf '%s\n' "$*"; }
now() { date +%s; }

# --- the list ---
files=() finds=() repls=() rules=() numbers=()
n=0
while IFS= read -r line || [ -n "$line" ]; do
    [[ -z "${line//[[:space:]]/}" || "$line" == \#* ]] && continue
    n=$((n + 1))
    rest=$line
    file=${rest%%"$sep"*}; rest=${rest#*"$sep"}
    find=${rest%%"$sep"*}; rest=${rest#*"$sep"}
    repl=${rest%%"$sep"*}; rest=${rest#*"$sep"}
    rule=$rest
    if [[ "$line" != *"$sep"*"$sep"*"$sep"* || "$rule" == *"$sep"* ]]; then
        say "mutations.txt, mutation $n: not four fields separated by '$sep': $line"; exit 2
    fi
    if [[ "$file" != src/* || "$file" == src/scheduler/actions.cpp || "$file" == *..* ]]; then
        say "mutations.txt, mutation $n: $file may not be mutated (only src/, never actions.cpp)"; exit 2
    fi
    selected=$(( $# == 0 ))
    for arg in "$@"; do
        if [[ "$arg" =~ ^[0-9]+$ ]]; then
            (( arg == n )) && selected=1
        elif grep -qE -- "$arg" <<<"$line"; then
            selected=1
        fi
    done
    (( selected )) || continue
    numbers+=("$n") files+=("$file") finds+=("${find//$eol/$'\n'}") repls+=("${repl//$eol/$'\n'}")
    rules+=("$rule")
done <"$list"
(( ${#numbers[@]} > 0 )) || { say "no mutation selected"; exit 2; }

# --- the scratch copy: the tracked files of the work tree as they are now ---
mkdir -p "$copy" "$build"
cd "$root"
mapfile -t tracked < <(git ls-files)
for f in "${tracked[@]}"; do
    [ -f "$f" ] || continue
    if ! cmp -s "$f" "$copy/$f"; then
        mkdir -p "$copy/$(dirname "$f")"
        cp "$f" "$copy/$f"
    fi
done
# Files no longer tracked leave the copy (the build globs src/ and tests/).
(cd "$copy" && find . -type f | sed 's|^\./||') | sort >"$scratch/copied"
printf '%s\n' "${tracked[@]}" | sort >"$scratch/tracked"
comm -23 "$scratch/copied" "$scratch/tracked" | while IFS= read -r f; do rm -f "$copy/$f"; done

build_copy() { cmake --build "$build" >"$scratch/build.log" 2>&1; }
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$copy" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$scratch/configure.log" 2>&1 \
        || { cat "$scratch/configure.log"; say "cannot configure the scratch copy"; exit 2; }
fi
build_copy || { tail -30 "$scratch/build.log"; say "the unchanged copy does not build"; exit 2; }

# run_test NAME LOG: one test of the scratch build; its status. Tests run one ctest at a time:
# ctest --stop-on-failure would stop at the first failure too, but ctest orders a run by its own
# records, slowest first.
run_test() {
    ctest --test-dir "$build" -R "^$1\$" --timeout "$test_timeout" --output-on-failure >"$2" 2>&1
}
clock_ms() { date +%s%3N; }

# --- the unchanged suite passes, and how long each test takes ---
start=$(now)
times=$scratch/times
mapfile -t tests < <(ctest --test-dir "$build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
if [ "${HORALUX_MUTATE_SKIP_BASELINE:-0}" != 1 ]; then
    say "unchanged copy: running the ${#tests[@]} tests"
    : >"$times.new"
    for t in "${tests[@]}"; do
        t0=$(clock_ms)
        if ! run_test "$t" "$scratch/baseline.log"; then
            cat "$scratch/baseline.log"
            say "the test $t fails on the unchanged copy: no mutation can be judged"
            exit 2
        fi
        printf '%s %s\n' "$(( $(clock_ms) - t0 ))" "$t" >>"$times.new"
    done
    mv "$times.new" "$times"
fi
# Quickest first, by the times of the last baseline (tests never timed go last).
mapfile -t tests < <(for t in "${tests[@]}"; do
    ms=$(awk -v t="$t" '$2 == t { print $1 }' "$times" 2>/dev/null)
    printf '%s %s\n' "${ms:-99999999}" "$t"
done | sort -n | cut -d' ' -f2)
say "test order: $(for t in "${tests[@]}"; do
    ms=$(awk -v t="$t" '$2 == t { print $1 }' "$times" 2>/dev/null)
    printf '%s (%ss) ' "$t" "$(awk -v m="${ms:-0}" 'BEGIN { printf "%.1f", m / 1000 }')"
done)"

# --- the mutations ---
killed=0 survived=0 unapplied=0 broken=0
# The file goes back as it was copied, whatever the work tree holds by now.
current="" original=""
restore() { [ -z "$current" ] || printf '%s' "$original" >"$copy/$current"; current=""; }
trap 'restore; exit 130' INT TERM
for i in "${!numbers[@]}"; do
    num=${numbers[i]} file=${files[i]} find=${finds[i]} repl=${repls[i]} rule=${rules[i]}
    label=$(printf '%2d %-34s %s' "$num" "$file" "$rule")
    t0=$(now)
    if [ ! -f "$copy/$file" ]; then
        say "NOT APPLIED  $label (no such file)"; unapplied=$((unapplied + 1)); continue
    fi
    text=$(cat "$copy/$file"; printf x); text=${text%x}
    rest=${text//"$find"/}
    count=$(( (${#text} - ${#rest}) / ${#find} ))
    if (( count != 1 )); then
        say "NOT APPLIED  $label (text found $count times)"; unapplied=$((unapplied + 1)); continue
    fi
    current=$file original=$text
    printf '%s' "${text/"$find"/"$repl"}" >"$copy/$file"
    if ! build_copy; then
        restore
        say "BUILD BROKEN $label"; broken=$((broken + 1))
        continue
    fi
    by=""
    for t in "${tests[@]}"; do
        if ! run_test "$t" "$scratch/mutant.log"; then
            by=$t
            grep -q 'Timeout' "$scratch/mutant.log" && by="$t, timeout"
            break
        fi
    done
    restore
    if [ -n "$by" ]; then
        say "killed       $label (by $by, $(( $(now) - t0 ))s)"; killed=$((killed + 1))
    else
        say "SURVIVED     $label ($(( $(now) - t0 ))s)"; survived=$((survived + 1))
    fi
done
# The copy ends as the work tree is, built, ready for the next run.
build_copy >/dev/null 2>&1
total=${#numbers[@]}
say "total: $total mutations, $killed killed, $survived survived, $unapplied not applied, $broken build broken ($(( $(now) - start ))s)"
(( killed == total ))
