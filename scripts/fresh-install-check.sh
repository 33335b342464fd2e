#!/usr/bin/env bash
# Installs the two Debian packages into a freshly bootstrapped, minimal
# Debian 12 root and runs them there: orvan-cli alone (no Qt may come with
# it) against writer-sim over a pseudo-terminal, then orvan-writer under Xvfb.
# Not part of ./test: it needs root, debootstrap and a Debian mirror, and
# takes some minutes.
#   sudo scripts/fresh-install-check.sh [PACKAGE_DIR]   (default build-pkg/)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pkgs=$(cd "${1:-$top/build-pkg}" && pwd)
mirror=${ORVAN_MIRROR:-http://deb.debian.org/debian}
cli_deb=$(ls "$pkgs"/orvan-cli_*.deb)
gui_deb=$(ls "$pkgs"/orvan-writer_*.deb)

[ "$(id -u)" -eq 0 ] || { echo "run as root (debootstrap and chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap

root=$(mktemp -d /var/tmp/orvan-fresh.XXXXXX)
cleanup() {
    for m in dev/pts dev proc; do umount -l "$root/$m" 2>/dev/null || true; done
    rm -rf --one-file-system "$root" "$root.debootstrap.log"
}
trap cleanup EXIT
step() { echo "== $*"; }

step "bootstrap Debian 12 (minbase) in $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    { tail -n 20 "$root.debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
cp "$cli_deb" "$gui_deb" "$root/tmp/"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    DEBIAN_FRONTEND=noninteractive "$@"; }

step "install orvan-cli alone"
in_root apt-get install -y -qq "/tmp/$(basename "$cli_deb")" >/dev/null
qt=$(in_root dpkg-query -W -f '${Package}\n' | grep -i qt || true)
[ -z "$qt" ] || { echo "orvan-cli brought Qt: $qt" >&2; exit 1; }
echo "installed packages: $(in_root dpkg-query -W -f '.\n' | wc -l), none of Qt"

step "orvan-cli against writer-sim"
in_root sh -c '
    cd /tmp && writer-sim --model OV128 --ports-map ports.map --port Com1 >sim.out 2>&1 &
    for _ in $(seq 100); do grep -q "^Com1 " /tmp/ports.map 2>/dev/null && break; sleep 0.05; done
    cd /tmp && orvan-cli -P Com1 -d OV128 connect && orvan-cli -P Com1 -d OV128 blank-check
    rc=$?; kill %1 2>/dev/null; exit $rc'

step "install orvan-writer and run it under Xvfb"
in_root apt-get install -y -qq "/tmp/$(basename "$gui_deb")" xvfb xauth >/dev/null
rc=0
in_root sh -c 'cd /tmp && timeout 8 xvfb-run -a orvan-writer' >/dev/null 2>&1 || rc=$?
# Still running when the time is up (124): it started and stayed up.
[ $rc -eq 124 ] || { echo "orvan-writer ended with $rc under Xvfb" >&2; exit 1; }
echo "orvan-writer ran under Xvfb until stopped"
step "fresh install OK"
