#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# CTest's emulator for the Windows test programs:  wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Runs PROGRAM under Wine in $WINEPREFIX (scripts/windows.sh makes a fresh one for each run),
# with the Qt and MinGW DLLs found through WINEPATH, on the Xvfb display scripts/windows.sh
# started, and prints Qt Test's report: Wine loses a Windows program's standard output when Qt
# Test writes it, so the report goes through a file.
set -uo pipefail
report=$(mktemp -d)
trap 'rm -rf "$report"' EXIT
# Wine hands the Linux environment on to Windows programs (it keeps HOME and PATH for itself).
# What a Windows machine never has goes; DISPLAY stays, Wine's own X11 driver needs it.
env -u XDG_RUNTIME_DIR -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_CACHE_HOME -u XDG_SESSION_TYPE \
  -u XDG_CURRENT_DESKTOP -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY -u SHELL -u USER -u LOGNAME \
  -u LANG -u LC_ALL -u TERM -u PWD -u OLDPWD -u MAIL \
  WINEDEBUG=-all wine "$@" -o "Z:${report//\//\\}\\report.txt,txt"
status=$?
cat "$report/report.txt" 2>/dev/null || echo "no report from $1 (status $status)"
exit $status
