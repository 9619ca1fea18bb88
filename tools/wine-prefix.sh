#!/usr/bin/env bash
# Wine prefixes for runs and tests, all inside the build tree (never ~/.wine).
#   wine-prefix.sh template DIR   make the template prefix DIR once (about 20 s)
#   wine-prefix.sh copy TEMPLATE DIR   make DIR a fresh copy of the template
set -euo pipefail

wine_env() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export WINEARCH=win32
}

make_template() {
    local dir="$1"
    [ -f "$dir/.zav-template-v2" ] && return 0
    rm -rf "$dir" "$dir.home"
    mkdir -p "$dir.home"
    (
        wine_env "$dir"
        export HOME="$dir.home"
        unset DISPLAY
        wineboot -i >/dev/null 2>&1 || true
        # No window manager: without this Wine waits about 2 s whenever a top-level window closes.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
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
    touch "$dir/.zav-template-v2"
}

copy_prefix() {
    local template="$1" dir="$2"
    make_template "$template"
    rm -rf "$dir"
    cp -a "$template" "$dir"
}

case "${1:-}" in
    template) make_template "$2" ;;
    copy) copy_prefix "$2" "$3" ;;
    *) echo "usage: $0 template DIR | copy TEMPLATE DIR" >&2; exit 2 ;;
esac
