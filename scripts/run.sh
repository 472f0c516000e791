#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the program, and starts Horalux.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export HORALUX_COMMAND=$0   # named in deps.sh's advice
"$root/scripts/build.sh"
echo "Starting horalux…"
exec "${HORALUX_BUILD_DIR:-$root/build}/horalux" "$@"
