# Screenshots of the running wizard, taken while the e2e driver (tests/e2e/driver, built as
# zavdriver.exe) holds it in a given state. Sourced by run-setup.sh and tour.sh, inside a Wine
# environment with DISPLAY and ZAV_WINE (the loader of the build's architecture) set.
#   zav_drive SETUP_EXE STEP...   runs the driver in the background; a step hold:HOLD makes it
#                                 wait until zav_shot has taken the screen
#   zav_shot FILE                 waits until the driver holds, saves the wizard and the windows
#                                 it has open into FILE, and lets the driver go on
#   zav_drive_end                 waits for the driver; its exit code
#   zav_drive_abort               ends the driver and every setup.exe it left running

zav_windows_path() { local p="Z:$1"; echo "${p//\//\\}"; }

: "${ZAV_SHOT_DIR:?set ZAV_SHOT_DIR to a scratch folder}"
mkdir -p "$ZAV_SHOT_DIR"
hold_file="$ZAV_SHOT_DIR/hold"
HOLD="hold:$(zav_windows_path "$hold_file")"
driver_log="$ZAV_SHOT_DIR/driver.log"

zav_drive() {
    local setup="$1"; shift
    rm -f "$hold_file"
    "$ZAV_WINE" "$ZAV_BUILD/tests/zavdriver.exe" "$(zav_windows_path "$setup")" "$@" \
        </dev/null >"$driver_log" 2>&1 &
    driver_pid=$!
}

zav_drive_end() {
    local code=0
    wait "$driver_pid" || code=$?
    [ "$code" = 0 ] || { echo "the driver failed:" >&2; cat "$driver_log" >&2; }
    return "$code"
}

zav_drive_abort() {
    kill "$driver_pid" 2>/dev/null || true
    wait "$driver_pid" 2>/dev/null || true
    rm -f "$hold_file"
    "$ZAV_WINE" "$ZAV_BUILD/tests/zavdriver.exe" setup.exe close:setup.exe </dev/null >/dev/null 2>&1 || true
}

# The visible top-level windows of the wizard, one "width height x y" a line: the main window,
# and the message boxes and the folder browser it opens.
wizard_windows() {
    xwininfo -root -tree 2>/dev/null |
        awk '/"(Setup - ZAV|Setup warning|Setup error|Select directory|ZAV 1.00 beta 8)"/ {print $1}' |
        while read -r id; do
            info="$(xwininfo -id "$id" 2>/dev/null)" || continue
            grep -q 'Map State: IsViewable' <<<"$info" || continue
            awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
                 /Width:/ {w=$2} /Height:/ {h=$2} END {print w, h, x, y}' <<<"$info"
        done
}

zav_shot() {
    local file="$1"
    for _ in $(seq 1 6000); do
        [ -e "$hold_file" ] && break
        if ! kill -0 "$driver_pid" 2>/dev/null; then
            echo "the driver ended before $file:" >&2
            cat "$driver_log" >&2
            return 1
        fi
        sleep 0.1
    done
    [ -e "$hold_file" ] || { echo "the driver never held for $file" >&2; return 1; }
    # No window manager: each window stands on the screen as it is, frame and caption
    # included, so the picture is the screen cut to the box around the wizard's windows.
    local box
    box="$(wizard_windows | awk 'NR == 1 {l = $3; t = $4; r = $3 + $1; b = $4 + $2}
        {if ($3 < l) l = $3; if ($4 < t) t = $4; if ($3 + $1 > r) r = $3 + $1; if ($4 + $2 > b) b = $4 + $2}
        END {if (NR) printf "%dx%d+%d+%d", r - l, b - t, l, t}')"
    mkdir -p "$(dirname "$file")"
    if [ -n "$box" ]; then
        import -window root -crop "$box" +repage "$file"
    else
        import -window root "$file"
    fi
    rm -f "$hold_file"
    echo "saved $file"
}
