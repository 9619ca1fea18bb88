#!/usr/bin/env bash
# Builds setup.exe and runs it under Wine in a project-local prefix (build/windows/wine/run).
# With a usable $DISPLAY the wizard opens there. Without one it runs under Xvfb, saves a PNG
# screenshot of the wizard window into the build tree, prints its path and ends the program.
#   tools/run-setup.sh [--fresh] [--screenshot FILE]
#     --fresh        start from a new prefix (nothing recorded in its registry)
#     --screenshot   where to save the headless screenshot (default build/windows/setup.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

fresh=0
shot="$root/build/windows/setup.png"
while [ $# -gt 0 ]; do
    case "$1" in
        --fresh) fresh=1 ;;
        --screenshot) shot="$(realpath -m "$2")"; shift ;;
        *) echo "unknown option: $1" >&2; exit 2 ;;
    esac
    shift
done

./tools/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target setup

wine_dir="$root/build/windows/wine"
prefix="$wine_dir/run"
if [ "$fresh" = 1 ] || [ ! -d "$prefix" ]; then
    ./tools/wine-prefix.sh copy "$wine_dir/template" "$prefix"
fi
mkdir -p "$wine_dir/run-home"
export WINEPREFIX="$prefix" HOME="$wine_dir/run-home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec wine "$root/build/windows/setup.exe"
fi

# Headless: a private Xvfb display, one screenshot of the wizard, then everything ends.
rm -f "$wine_dir/run-display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$wine_dir/run-display" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do [ -s "$wine_dir/run-display" ] && break; sleep 0.1; done
display=":$(tr -d '[:space:]' < "$wine_dir/run-display")"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    kill "$xvfb_pid" >/dev/null 2>&1 || true
}
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

wine "$root/build/windows/setup.exe" </dev/null >/dev/null 2>&1 &
window=""
for _ in $(seq 1 150); do
    window="$(xwininfo -root -tree 2>/dev/null | awk '/"Setup - ZAV"/ {print $1; exit}')"
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "the wizard window did not appear" >&2
    exit 1
fi
sleep 1  # let the pages paint
mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
echo "screenshot of the wizard: $shot"
