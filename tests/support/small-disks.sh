#!/usr/bin/env bash
# Two tiny disks for the tests, mounted inside the build tree (so Wine reaches them through
# drive Z:): DIR/enough with 358 pages (1466368 bytes) free and DIR/short with 357 pages
# (1462272 bytes) free, just above and just below the space the setup needs. Mounting needs
# root; DIR/mounted marks success, and without it the tests that want the small disks
# skip themselves.
#   small-disks.sh mount DIR
#   small-disks.sh unmount DIR
set -u
action="$1"; disks="$2"
disk_pages="enough:358 short:357"

unmount_all() {
    rm -f "$disks/mounted"
    for entry in $disk_pages; do
        name="${entry%%:*}"
        if mountpoint -q "$disks/$name" 2>/dev/null; then umount "$disks/$name" || true; fi
        rmdir "$disks/$name" 2>/dev/null || true
    done
}

case "$action" in
mount)
    unmount_all
    for entry in $disk_pages; do
        name="${entry%%:*}"; pages="${entry##*:}"
        mkdir -p "$disks/$name"
        if ! mount -t tmpfs -o "size=$((pages * 4096)),mode=0777" zavsmalldisk "$disks/$name" 2>/dev/null; then
            echo "small-disks: cannot mount a tmpfs (not root?); the small-disk tests will skip" >&2
            exit 0
        fi
    done
    touch "$disks/mounted"
    ;;
unmount)
    unmount_all
    ;;
*)
    echo "usage: $0 mount|unmount DIR" >&2; exit 2 ;;
esac
