#!/usr/bin/env bash
# Sourced by the Wine scripts: which Wine runs a build, and whether it can run on this host.
# A build is win32 (the shipped i686 files) or win64 (their x86-64 twin, a test vehicle).
# Debian's wine, wineserver and wineboot wrappers pick the 32-bit loader whenever it is
# installed, even where the kernel cannot run it, so we call the loaders ourselves.
# Where a build's Wine cannot run, its Wine scripts exit 77 (CTest's SKIP_RETURN_CODE):
# skipped, never passed. Emulating the 32-bit loader with qemu-user is far too slow and
# flaky for a routine run, so a host that would do that counts as unable, unless
# ZAV_ALLOW_EMULATED_WINE=1 asks for such a run on purpose.
zav_wine_skip=77
zav_wine_lib=/usr/lib/wine

# zav_wine_use ARCH: exports the loader (ZAV_WINE), the server (ZAV_WINESERVER) and WINEARCH.
zav_wine_use() {
    case "$1" in
    win32) ZAV_WINE="$zav_wine_lib/wine"; ZAV_WINESERVER="$zav_wine_lib/wineserver32" ;;
    win64) ZAV_WINE="$zav_wine_lib/wine64"; ZAV_WINESERVER="$zav_wine_lib/wineserver64" ;;
    *) echo "zav_wine_use: unknown architecture '$1'" >&2; return 2 ;;
    esac
    [ -x "$ZAV_WINESERVER" ] || ZAV_WINESERVER="$zav_wine_lib/wineserver"
    export ZAV_WINE_ARCH="$1" WINEARCH="$1" ZAV_WINE ZAV_WINESERVER
    # The loader starts this server, not whichever one the PATH would give.
    export WINESERVER="$ZAV_WINESERVER"
}

# zav_wine_host_problem ARCH: why Wine of ARCH cannot run here; nothing when it can.
zav_wine_host_problem() {
    case "$1" in
    win32)
        if [ "${ZAV_ALLOW_EMULATED_WINE:-0}" != 1 ] && zav_wine_emulated; then
            echo "32-bit x86 programs run here only under qemu-user emulation"
        elif ! zav_host_runs_i386; then
            echo "this kernel runs no 32-bit x86 code, so 32-bit Wine cannot start"
        elif ! "$zav_wine_lib/wine" --version >/dev/null 2>&1; then
            echo "32-bit Wine (package wine32:i386) is not installed"
        fi ;;
    win64)
        if ! "$zav_wine_lib/wine64" --version >/dev/null 2>&1; then
            echo "64-bit Wine (package wine64) cannot start here"
        fi ;;
    esac
}

# zav_require_wine_host ARCH: exits 77, saying why, where Wine of ARCH cannot run.
zav_require_wine_host() {
    local problem
    problem="$(zav_wine_host_problem "$1")"
    if [ -n "$problem" ]; then
        echo "SKIPPED: $problem; the $1 Windows tests were built but not run" >&2
        exit "$zav_wine_skip"
    fi
}

# Whether 32-bit x86 programs would go through qemu-user emulation here.
zav_wine_emulated() {
    [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386
}

# Whether this kernel runs 32-bit x86 programs itself: a 93-byte i386 ELF that only exits 0.
zav_host_runs_i386() {
    zav_wine_emulated && return 1
    local probe status
    probe="$(mktemp)"
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0T\200\4\0104\0\0\0\0\0\0\0\0\0\0\0004\0 \0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\010\0\200\4\010]\0\0\0]\0\0\0\5\0\0\0\0\020\0\0\270\1\0\0\0001\333\315\200' >"$probe"
    chmod +x "$probe"
    "$probe" >/dev/null 2>&1 && status=0 || status=1
    rm -f "$probe"
    return "$status"
}

# zav_wine_pick: the architecture the tools run: win32 (the shipped files) where it can run,
# else win64 (the twin); nothing where neither can.
zav_wine_pick() {
    if [ -z "$(zav_wine_host_problem win32)" ]; then
        echo win32
    elif [ -z "$(zav_wine_host_problem win64)" ]; then
        echo win64
    fi
}

# zav_wine_preset ARCH: the CMake preset, and build folder, of ARCH's build.
zav_wine_preset() {
    if [ "$1" = win32 ]; then echo windows; else echo windows64; fi
}

# zav_wine_choose TOOL: for the tools that run the setup. Picks the architecture, says in one
# line when it is the twin, exports ZAV_PRESET and the Wine of it; exits 1, saying why, on a
# host that can run neither.
zav_wine_choose() {
    local arch
    arch="$(zav_wine_pick)"
    if [ -z "$arch" ]; then
        echo "$1: Wine cannot run the setup here: $(zav_wine_host_problem win32); $(zav_wine_host_problem win64)" >&2
        exit 1
    fi
    if [ "$arch" = win64 ]; then
        echo "$1: running the x86-64 twin (build/windows64), as the shipped i686 setup cannot run here: $(zav_wine_host_problem win32)"
    fi
    ZAV_PRESET="$(zav_wine_preset "$arch")"
    export ZAV_PRESET
    zav_wine_use "$arch"
}
