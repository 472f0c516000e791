#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, configures and builds into build/ (or $HORALUX_BUILD_DIR):
#   build.sh        the program only;
#   build.sh all    the program, its tests and benchmarks.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HORALUX_BUILD_DIR:-$root/build}
if [ "${1:-}" = all ]; then
  "$root/scripts/deps.sh" test
  target=all what="horalux and its tests"
else
  "$root/scripts/deps.sh" run
  target=horalux what=horalux
fi
echo "Configuring…"
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$build/configure.log" 2>&1 \
  || { cat "$build/configure.log" >&2; echo "Configuring failed (log above: $build/configure.log)" >&2; exit 1; }
echo "Building $what…"
cmake --build "$build" --target "$target" --parallel "$(nproc)"
