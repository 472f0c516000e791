#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages that are missing:  deps.sh [run|test|windows]
#   run      building and running Horalux (the default);
#   test     that, and what the tests need;
#   windows  cross-building for Windows and testing the result under Wine.
# As root it runs apt-get itself, otherwise through sudo. Without sudo, or when sudo refuses, it
# names the missing packages and the command to run as root, and exits with status 1.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
  fonts-liberation
)
[ "${1:-run}" = test ] && packages+=(
  xvfb xauth x11-utils xdotool trayer faketime imagemagick dbus-daemon
  xfwm4  # a real window manager: how a minimized window comes back from the tray
  desktop-file-utils appstream lintian file dpkg-dev
)
[ "${1:-run}" = windows ] && packages=(
  cmake ninja-build qt6-base-dev-tools g++-mingw-w64-x86-64-posix mingw-w64-tools xz-utils zip unzip
  wine wine64 xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  why="sudo is not installed"
  if command -v sudo >/dev/null; then
    echo "Installing ${#missing[@]} missing Debian packages needs root: asking sudo."
    if sudo -v; then as_root=(sudo); else why="sudo refused"; fi
  fi
  if [ ${#as_root[@]} -eq 0 ]; then
    cat >&2 <<MSG
Horalux needs these Debian packages, which are not installed:
  ${missing[*]}
Installing them needs root, and $why.
Run this command, which asks for root's password:
  su -c 'apt-get update && apt-get install --no-install-recommends ${missing[*]}'
then run ${HORALUX_COMMAND:-$0} again.
MSG
    exit 1
  fi
fi

log=$(mktemp /tmp/horalux-apt.XXXXXX.log)
apt_get() {
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q --no-install-recommends "$@" \
    >>"$log" 2>&1 && return
  echo "apt-get $1 failed; its log ($log):" >&2
  cat "$log" >&2
  exit 1
}
echo "Reading Debian's package lists…"
apt_get update
count=$(LC_ALL=C apt-get -s --no-install-recommends install "${missing[@]}" 2>/dev/null | grep -c '^Inst ' || true)
echo "Installing $count Debian packages…"
apt_get install "${missing[@]}"
rm -f "$log"
