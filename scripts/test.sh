#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs every test. Needs no display: the tests use the
# offscreen platform, and the end-to-end test starts its own Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HORALUX_BUILD_DIR:-$root/build}
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure --timeout 600 "$@"
