#!/usr/bin/env bash
# Wine prefixes for runs and tests, all inside the build tree (never ~/.wine).
#   wine-prefix.sh template DIR ARCH        make the template prefix DIR once (about 20 s)
#   wine-prefix.sh copy TEMPLATE DIR ARCH   make DIR a fresh copy of the template
# ARCH is win32 (the shipped i686 build) or win64 (its x86-64 twin).
set -euo pipefail
# shellcheck source=../tests/support/wine-host.sh
. "$(dirname "$0")/../tests/support/wine-host.sh"

template_mark=.zav-template-v3

make_template() {
    # Wine takes only an absolute prefix.
    local dir arch="$2"
    dir="$(realpath -m "$1")"
    [ -f "$dir/$template_mark" ] && return 0
    rm -rf "$dir" "$dir.home"
    mkdir -p "$dir.home"
    (
        zav_wine_use "$arch"
        export WINEPREFIX="$dir" HOME="$dir.home" WINEDEBUG=-all
        export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
        unset DISPLAY
        "$ZAV_WINE" wineboot -i >/dev/null 2>&1 || true
        # No window manager: without this Wine waits about 2 s whenever a top-level window closes.
        "$ZAV_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # A crashing program must end at once, its backtrace on stderr, instead of waiting
        # forever behind Wine's crash dialog.
        "$ZAV_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        "$ZAV_WINESERVER" -w
    )
    # The profile folders point at the HOME of the prefix's creation; make them real folders
    # so a copy of the template keeps its desktop and documents to itself. Some lie deeper
    # than the profile's top level (Templates, under AppData).
    local users="$dir/drive_c/users"
    find "$users" -type l -print0 | while IFS= read -r -d '' link; do
        rm -f "$link"
        mkdir -p "$link"
    done
    rm -rf "$dir.home"
    touch "$dir/$template_mark"
}

copy_prefix() {
    local template="$1" dir="$2" arch="$3"
    make_template "$template" "$arch"
    rm -rf "$dir"
    cp -a "$template" "$dir"
}

case "${1:-}" in
    template) make_template "$2" "$3" ;;
    copy) copy_prefix "$2" "$3" "$4" ;;
    *) echo "usage: $0 template DIR ARCH | copy TEMPLATE DIR ARCH (ARCH: win32 or win64)" >&2; exit 2 ;;
esac
