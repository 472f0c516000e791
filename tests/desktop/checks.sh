# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the desktop test scripts (sourced, not run): counted checks and a summary.
# Set CHECKS_FAILURE_SHOT to a PNG path to have die() keep a screenshot of the display.

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
die() {
    echo "FAIL: $*"
    [ -z "${CHECKS_FAILURE_SHOT:-}" ] || import -window root "$CHECKS_FAILURE_SHOT" 2>/dev/null
    exit 1
}
