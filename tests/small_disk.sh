#!/usr/bin/env bash
# Runs a test command on a small file system of its own, as a full disk and
# a file that cannot be replaced happen to users:
#   tests/small_disk.sh SIZE_KB COMMAND [ARGS...]
# mounts a tmpfs of SIZE_KB kilobytes for the run, tells the command its
# folder in MURKEL_SMALL_DISK, and unmounts it afterwards whatever the
# command does. In it, busy.bmp ("old") is a mount point: no rename can
# replace it. Where mounting is not allowed (it needs root), says so and
# exits 77, which ctest reports as a skipped test.
set -u
size_kb=$1
shift
disk=$(mktemp -d "${TMPDIR:-/tmp}/murkel-small-disk.XXXXXX") || exit 1

cleanup() {
  local point
  for point in "$disk/busy.bmp" "$disk"; do
    if mountpoint -q "$point" 2>/dev/null; then
      umount "$point" 2>/dev/null || umount -l "$point"  # lazily when a straggler still holds a file
    fi
  done
  rmdir "$disk" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 143' HUP INT TERM  # the EXIT trap unmounts

if ! why=$(mount -t tmpfs -o "size=${size_kb}k,mode=1777" murkel-small-disk "$disk" 2>&1); then
  echo "SKIPPED: cannot mount a small file system here (${why%%$'\n'*}); the full-disk cases did not run." >&2
  echo "Run the tests as root to run them." >&2
  exit 77
fi
printf old >"$disk/busy.bmp"
printf old >"$disk/.busy"
if ! why=$(mount --bind "$disk/.busy" "$disk/busy.bmp" 2>&1); then
  echo "SKIPPED: cannot bind a file over another here ($why); the full-disk cases did not run." >&2
  exit 77
fi
MURKEL_SMALL_DISK=$disk "$@"
