#!/usr/bin/env bash
# A tour of the wizard for the README: runs the real setup.exe under Xvfb, walks it with the
# e2e driver through every page and state, and saves a PNG of each into docs/. Everything
# runs in a Wine session of its own (a throwaway prefix and HOME in the build tree); the
# small disk for the free-space warning needs root (tests/support/small-disks.sh), without it
# that picture is left out.
#   tools/tour.sh [OUT_DIR]   (default docs/)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
out="$(realpath -m "${1:-docs}")"

./tools/install-deps.sh
# shellcheck source=../tests/support/wine-host.sh
. tests/support/wine-host.sh
zav_wine_choose tour
cmake --preset "$ZAV_PRESET" >/dev/null
cmake --build --preset "$ZAV_PRESET" --target setup zavdriver

export ZAV_BUILD="$root/build/$ZAV_PRESET"
wine_dir="$ZAV_BUILD/wine"
session="$wine_dir/tour-session"
disks="$wine_dir/tour-disks"
support="$root/tests/support"

cleanup() {
    "$support/wine-session.sh" stop "$session" || true
    "$support/small-disks.sh" unmount "$disks" || true
}
trap cleanup EXIT
"$support/wine-session.sh" start "$session" "$wine_dir/template" "$ZAV_WINE_ARCH"
# shellcheck disable=SC1091
. "$session/env"
# Pictures with frames and captions: the windows draw their own, as there is no window manager
# (the session may have left that to a window manager, see wine-session.sh).
"$ZAV_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
"$support/small-disks.sh" mount "$disks"

export ZAV_SHOT_DIR="$session/shots"
# shellcheck source=wizard-shots.sh
. "$root/tools/wizard-shots.sh"
setup="$ZAV_BUILD/setup.exe"
product_key='HKCU\Software\ZAV'
program_file='C:\Program Files\ZAV 1.00 beta 8\Zav.exe'

failed=()
# One run of the setup: the pictures that its holds are for, in order, then the driver's steps.
#   tour_run "PICTURE..." STEP...
tour_run() {
    local -a pictures
    read -r -a pictures <<<"$1"; shift
    zav_drive "$setup" "$@"
    local picture
    for picture in "${pictures[@]}"; do
        if ! zav_shot "$out/$picture"; then
            failed+=("${pictures[*]}")
            zav_drive_abort
            return 0
        fi
    done
    zav_drive_end || failed+=("${pictures[*]}")
}

# Nothing recorded: the pages of a first installation, and a folder on a disk too small.
tour_run "welcome.png license.png destination.png" start "$HOLD" page:1 "$HOLD" page:2 "$HOLD"
if [ -e "$disks/mounted" ]; then
    # The browser opens on the Desktop; for this run the Desktop folder lies on the small disk,
    # so that OK on the browser's first selection picks a folder there.
    desktop="$(find "$WINEPREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -name Desktop -type d | head -n1)"
    mv "$desktop" "$desktop.tour"
    ln -s "$disks/short" "$desktop"
    tour_run destination-no-space.png start page:2 browse: "$HOLD"
    rm "$desktop"
    mv "$desktop.tour" "$desktop"
else
    failed+=("destination-no-space.png (no small disk: not root?)")
fi

# An installation, stopped once the copy has brought the launcher, then its end.
tour_run "progress.png success.png" start to-progress option:run=off option:readme=off \
    "install-until:$program_file" "$HOLD" resume "$HOLD" answer:ok

# This version and an older one recorded: the maintenance page, then the welcome page.
"$ZAV_WINE" reg add "$product_key\\ZAV 1.00 beta 7\\Directories" /v "Program Path" \
    /d 'C:\Program Files\ZAV 1.00 beta 7' /f >/dev/null
tour_run "maintenance.png welcome-installed.png" start "$HOLD" page:0 "$HOLD"

# Only the older version recorded: the welcome page offers its configuration.
"$ZAV_WINE" reg delete "$product_key\\ZAV 1.00 beta 8" /f >/dev/null 2>&1 || true
tour_run welcome-previous.png start page:0 "$HOLD"

if [ "${#failed[@]}" -gt 0 ]; then
    printf 'not captured: %s\n' "${failed[@]}" >&2
    exit 1
fi
