#!/usr/bin/env bash
# Builds setup.exe and runs it under Wine in a project-local prefix (build/windows/wine/run).
# With a usable $DISPLAY the wizard opens there. Without one it runs under Xvfb, saves a PNG
# screenshot of the wizard window into the build tree, prints its path and ends the program.
#   tools/run-setup.sh [--fresh] [--screenshot FILE] [--page N]
#     --fresh        start from a new prefix (nothing recorded in its registry)
#     --screenshot   where to save the headless screenshot (default build/windows/setup.png)
#     --page N       headless only: click through to page N first (0 welcome, 1 license,
#                    2 destination, 3 progress) with the real buttons, accepting the license
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

fresh=0
page=0
shot="$root/build/windows/setup.png"
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

# Without a window manager the X window is the whole wizard window, frame and caption
# included; the client area is found from what the wizard itself draws.
capture="$wine_dir/run-capture.rgb"
win_width="$(xwininfo -id "$window" | awk '/Width:/ {print $2}')"
win_height="$(xwininfo -id "$window" | awk '/Height:/ {print $2}')"

# Prints the client area's left, right and bottom edges, found from the etched separator
# (a grey line above a white one, from client x 10 to right - 10 at bottom - 46), and the
# client top when a list box border stands at client (20, 40), as on the license page.
measure() {
    import -window "$window" -depth 8 "rgb:$capture"
    python3 - "$capture" "$win_width" "$win_height" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
w, h = int(sys.argv[2]), int(sys.argv[3])
def px(x, y):
    i = (y * w + x) * 3
    return data[i:i + 3]
grey, white = bytes((150, 150, 150)), bytes((255, 255, 255))
best = None
for y in range(h - 1):
    x = 0
    while x < w:
        if px(x, y) == grey and px(x, y + 1) == white:
            start = x
            while x < w and px(x, y) == grey and px(x, y + 1) == white:
                x += 1
            if best is None or x - start > best[2] - best[1]:
                best = (y, start, x)
        else:
            x += 1
if best is None or best[2] - best[1] < 200:
    sys.exit("the wizard's separator line was not found")
y, start, end = best
left, right, bottom = start - 10, end + 10, y + 46
# The list's border: a row of one colour 400 pixels wide whose left edge runs down with it
# (the caption and the frame are far shorter).
top = -1
face = px(left + 2, bottom - 2)
for row in range(bottom - 146):
    line = [px(x, row) for x in range(left + 20, left + 420)]
    if line[0] != face and all(p == line[0] for p in line) and \
            all(px(left + 20, r) == line[0] for r in range(row, row + 100)):
        top = row - 40
        break
print(left, right, bottom, top)
PY
}

click() {  # x y in the X window
    xdotool mousemove --window "$window" "$1" "$2" click 1
    # Slower than a double-click: a second press that soon after a page change is dropped.
    sleep 0.8
}

if [ "$page" -gt 0 ]; then
    read -r left right bottom _ < <(measure)
    next_x=$((right - 200 + 40)); next_y=$((bottom - 33 + 11))  # Next: 80 x 23 at (right - 200, bottom - 33)
    click "$next_x" "$next_y"
    if [ "$page" -gt 1 ]; then
        read -r _ _ _ top < <(measure)
        if [ "$top" -lt 0 ]; then
            echo "the license page did not appear" >&2
            exit 1
        fi
        # The accept button: page (10, 207), 300 x 20, inside the page at client (10, 10).
        click $((left + 20 + 10)) $((top + 217 + 10))
        for _ in $(seq 2 "$page"); do click "$next_x" "$next_y"; done
    fi
    sleep 0.5
fi

mkdir -p "$(dirname "$shot")"
import -window "$window" "$shot"
echo "screenshot of the wizard: $shot"
