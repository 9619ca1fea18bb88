#!/usr/bin/env bash
# Builds setup.exe and runs it under Wine in a project-local prefix (BUILD/wine/run): the
# shipped i686 build (build/windows) where this host runs 32-bit Wine, else its x86-64 twin
# (build/windows64), saying so.
# With a usable $DISPLAY the wizard opens there. Without one it runs under Xvfb, saves a PNG
# screenshot of the wizard window into the build tree, prints its path and ends the program
# (the e2e driver, tests/e2e/driver, starts it and walks it to the page).
#   tools/run-setup.sh [--fresh] [--screenshot FILE] [--page N]
#     --fresh        start from a new prefix (nothing recorded in its registry)
#     --screenshot   where to save the headless screenshot (default BUILD/setup.png)
#     --page N       headless only: go through to page N first (0 welcome, 1 license,
#                    2 destination, 3 progress) with the real buttons, accepting the license
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

fresh=0
page=0
shot=""
while [ $# -gt 0 ]; do
    case "$1" in
        --fresh) fresh=1 ;;
        --screenshot) shot="$(realpath -m "$2")"; shift ;;
        --page) page="${2:-}"; shift ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
    shift
done
case "$page" in
    0|1|2|3) ;;
    *) echo "--page takes 0, 1, 2 or 3" >&2; exit 2 ;;
esac

./tools/install-deps.sh
# shellcheck source=../tests/support/wine-host.sh
. tests/support/wine-host.sh
zav_wine_choose run-setup
build="$root/build/$ZAV_PRESET"
[ -n "$shot" ] || shot="$build/setup.png"
cmake --preset "$ZAV_PRESET" >/dev/null
cmake --build --preset "$ZAV_PRESET" --target setup zavdriver

wine_dir="$build/wine"
prefix="$wine_dir/run"
if [ "$fresh" = 1 ] || [ ! -d "$prefix" ]; then
    ./tools/wine-prefix.sh copy "$wine_dir/template" "$prefix" "$ZAV_WINE_ARCH"
fi
mkdir -p "$wine_dir/run-home"
export WINEPREFIX="$prefix" HOME="$wine_dir/run-home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$ZAV_WINE" "$build/setup.exe"
fi

# Headless: a private Xvfb display, one screenshot of the wizard, then everything ends.
rm -f "$wine_dir/run-display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$wine_dir/run-display" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$wine_dir/run-display" ] && break; sleep 0.1; done
display=":$(tr -d '[:space:]' < "$wine_dir/run-display")"
cleanup() {
    "$ZAV_WINESERVER" -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# The e2e driver starts the setup, waits until it has painted, walks to the page with the
# real buttons' commands and holds it there while the screen is taken.
export ZAV_BUILD="$build" ZAV_SHOT_DIR="$wine_dir/run-shots"
# shellcheck source=wizard-shots.sh
. "$root/tools/wizard-shots.sh"
steps=(start)
[ "$page" -gt 0 ] && steps+=("page:$page")
zav_drive "$ZAV_BUILD/setup.exe" "${steps[@]}" "$HOLD"
zav_shot "$shot"
zav_drive_end
echo "screenshot of the wizard: $shot"
