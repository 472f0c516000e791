#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Manual check, not part of the test run (it needs root and Debian's package archive):
#   scripts/clean_machine.sh BUILD_DIR [ARTIFACT_DIR]
# Builds a minimal Debian 12 tree with debootstrap (no compiler, no Qt, no development package),
# installs the .deb made by cpack into it with apt, which brings in only its Depends, and runs
# the installed /usr/bin/horalux inside that tree as the user nobody, on a private Xvfb of the
# host. Passes when the window appears; leaves a screenshot, clean-machine-window.png.
set -euo pipefail
build=$(readlink -f "$1")
artifacts=$(mkdir -p "${2:-$build}" && cd "${2:-$build}" && pwd)
desktop=$(cd "$(dirname "$0")/../tests/desktop" && pwd) # its X session helpers
[ "$(id -u)" -eq 0 ] || { echo "needs root (debootstrap, chroot)"; exit 1; }
command -v debootstrap >/dev/null || apt-get install -y -qq debootstrap >/dev/null

work=$(mktemp -d /tmp/horalux-clean.XXXXXX)
tree=$work/tree
source "$desktop/xsession.sh"
mounted=()
cleanup() {
    xs_cleanup
    local m
    for m in "${mounted[@]}"; do umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true; done
    # Only delete once nothing is mounted inside any more.
    if ! grep -q " $work" /proc/mounts; then rm -rf "$work"; fi
}
trap cleanup EXIT

echo "== minimal Debian 12 in $tree"
debootstrap --variant=minbase bookworm "$tree" http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 \
    || { tail -5 "$work/debootstrap.log"; exit 1; }
cp /etc/resolv.conf "$tree/etc/resolv.conf"
mount -t proc proc "$tree/proc"; mounted+=("$tree/proc")

echo "== the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null
deb=$(ls "$work"/pkg/horalux_*.deb | head -1)
cp "$deb" "$tree/tmp/"
chroot "$tree" bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends /tmp/$(basename "$deb")" >"$work/apt.log" 2>&1 \
    || { tail -20 "$work/apt.log"; exit 1; }
echo "installed: $(chroot "$tree" dpkg-query -W -f='${Package} ${Version}' horalux)"
dev=$(chroot "$tree" dpkg-query -W -f='${Package}\n' | grep -E '^(g\+\+|gcc|cpp|cmake|make|qt6-base-dev.*|libqt6.*-dev|build-essential)$' || true)
[ -z "$dev" ] || { echo "build packages present in the tree: $dev"; exit 1; }
echo "no compiler, cmake or Qt development package in the tree"

echo "== run it"
xs_start_x "$work"
mkdir -p "$tree/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$tree/tmp/.X11-unix"; mounted=("$tree/tmp/.X11-unix" "${mounted[@]}")
mkdir -p "$tree/tmp/home" && chown 65534:65534 "$tree/tmp/home"
chroot --userspec=65534:65534 "$tree" env -i HOME=/tmp/home DISPLAY="$DISPLAY" \
    PATH=/usr/bin:/bin LANG=C.UTF-8 horalux >"$work/horalux.log" 2>&1 &
XS_PIDS+=($!)
if xs_wait 20 xs_viewable Horalux; then
    sleep 0.5
    import -window "$(xs_window_id Horalux)" "$artifacts/clean-machine-window.png"
    echo "ok: the installed horalux shows its window on a Debian 12 without build tools"
    echo "    screenshot: $artifacts/clean-machine-window.png"
else
    cat "$work/horalux.log"
    echo "FAIL: no window"
    exit 1
fi
