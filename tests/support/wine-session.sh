#!/usr/bin/env bash
# One Wine session for a whole test run: an Xvfb display, a throwaway prefix copied from
# the build tree's template, and one persistent wineserver (each cold start costs ~1 s).
#   wine-session.sh start SESSION_DIR TEMPLATE_DIR ARCH   (ARCH: win32 or win64)
#   wine-session.sh stop SESSION_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
action="$1"; session="$(mkdir -p "$2" && cd "$2" && pwd)"

stop_session() {
    [ -f "$session/env" ] || return 0
    # shellcheck disable=SC1091
    . "$session/env"
    "$ZAV_WINESERVER" -k >/dev/null 2>&1 || true
    if [ -f "$session/xvfb.pid" ]; then
        kill "$(cat "$session/xvfb.pid")" >/dev/null 2>&1 || true
        rm -f "$session/xvfb.pid"
    fi
    rm -f "$session/env"
}

case "$action" in
start)
    template="$3"; arch="$4"
    # shellcheck source=wine-host.sh
    . "$here/wine-host.sh"
    zav_require_wine_host "$arch"
    stop_session
    mkdir -p "$session"
    "$here/../../tools/wine-prefix.sh" copy "$template" "$session/prefix" "$arch"
    rm -rf "$session/home"; mkdir -p "$session/home"
    # Xvfb picks a free display number itself and reports it, so parallel runs never collide.
    rm -f "$session/display"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$session/display" </dev/null >/dev/null 2>&1 &
    echo $! > "$session/xvfb.pid"
    for _ in $(seq 1 100); do
        [ -s "$session/display" ] && break
        sleep 0.1
    done
    display="$(tr -d '[:space:]' < "$session/display")"
    [ -n "$display" ] || { echo "Xvfb did not start" >&2; exit 1; }
    zav_wine_use "$arch"
    cat > "$session/env" <<ENV
export ZAV_WINE_ARCH=$arch WINEARCH=$arch
export ZAV_WINE="$ZAV_WINE" ZAV_WINESERVER="$ZAV_WINESERVER" WINESERVER="$ZAV_WINESERVER"
export DISPLAY=:$display
export WINEPREFIX="$session/prefix"
export HOME="$session/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
ENV
    # shellcheck disable=SC1091
    . "$session/env"
    "$ZAV_WINESERVER" -p </dev/null >/dev/null 2>&1
    # Under emulation Wine's unmanaged windows now and then die with an X BadWindow error
    # when they close; managed ones cost about 2 s a close but do not.
    if [ "$arch" = win32 ] && zav_wine_emulated; then
        "$ZAV_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f </dev/null >/dev/null 2>&1 || true
    fi
    "$ZAV_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
stop)
    stop_session
    ;;
*)
    echo "usage: $0 start SESSION TEMPLATE | stop SESSION" >&2; exit 2 ;;
esac
