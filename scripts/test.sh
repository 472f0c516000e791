#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing (the test tools too), builds everything, and runs every test, the
# Windows build's too (scripts/windows.sh test). Needs no display: the tests use the offscreen
# platform, and the end-to-end tests start their own Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export HORALUX_COMMAND=$0   # named in deps.sh's advice
build=${HORALUX_BUILD_DIR:-$root/build}
"$root/scripts/build.sh" all
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
# Then the same tests of the Windows build under Wine, and the zip end to end (not when ctest
# was asked for a part of the suite). Without Qt for Windows this fails, saying so in one line.
[ $# -gt 0 ] || HORALUX_WINDOWS_BUILD_DIR=${HORALUX_WINDOWS_BUILD_DIR:-$build-windows} "$root/scripts/windows.sh" test
