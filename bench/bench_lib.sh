# shellcheck shell=bash
# Shared by the setup benchmarks (sourced, not run): the build they time, one Wine session in
# its tree, the expanded product tree, and the way back to a prefix without an installation.
#   bench_choose NAME       the timed build: the x86-64 twin (build/windows64) under 64-bit Wine,
#                           the same on every host; sets build, exports ZAV_WINE; exits 1,
#                           saying why, where 64-bit Wine cannot start
#   bench_choose_shipped NAME [PRESET]
#                           the timed build: the shipped i686 build (build/windows) under 32-bit
#                           Wine where that runs, else the twin; PRESET (windows or windows64)
#                           forces one; says which; as bench_choose otherwise
#   bench_session NAME      start BUILD/wine/NAME (Xvfb, prefix copy, warm wineserver,
#                           winemenubuilder off); stopped when the script exits
#   bench_product_tree DIR  zav.zip of the build expanded into DIR
#   bench_clean             remove every trace of an installation of the product, and sync
#   winpath PATH            the Unix path as Wine names it (Z:\...)
#   bench_mingw OUT SRC...  one bench program built with the cross compiler of the timed build
# Expects root (the worktree) to be set.

# shellcheck source=../tests/support/wine-host.sh
. "$root/tests/support/wine-host.sh"

bench_choose() {
    local problem
    problem="$(zav_wine_host_problem win64)"
    [ -z "$problem" ] || { echo "$1: $problem" >&2; exit 1; }
    zav_wine_use win64
    ZAV_PRESET="$(zav_wine_preset win64)"
    build="$root/build/$ZAV_PRESET"
}

bench_choose_shipped() {
    local arch problem
    case "${2:-}" in
        windows) arch=win32 ;;
        windows64) arch=win64 ;;
        "") arch="$(zav_wine_pick)" ;;
        *) echo "$1: the timed build is windows or windows64, not '$2'" >&2; exit 2 ;;
    esac
    problem="$(zav_wine_host_problem "${arch:-win64}")"
    [ -z "$problem" ] || { echo "$1: $problem" >&2; exit 1; }
    zav_wine_use "$arch"
    ZAV_PRESET="$(zav_wine_preset "$arch")"
    build="$root/build/$ZAV_PRESET"
    if [ "$arch" = win32 ]; then
        echo "$1: timing the shipped i686 build (build/windows) under 32-bit Wine"
    else
        echo "$1: timing the x86-64 twin (build/windows64) under 64-bit Wine"
    fi
}

bench_session() {
    session="$build/wine/$1"
    "$root/tests/support/wine-session.sh" start "$session" "$build/wine/template" "$ZAV_WINE_ARCH"
    # shellcheck disable=SC2064
    trap "'$root/tests/support/wine-session.sh' stop '$session'" EXIT
    # shellcheck disable=SC1091
    . "$session/env"
    prefix="$WINEPREFIX"
    users="$prefix/drive_c/users"
}

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }

bench_product_tree() {
    rm -rf "$1"; mkdir -p "$1"
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
        "$build/zav.zip" "$1"
}

bench_clean() {
    "$ZAV_WINE" reg delete 'HKCU\Software\ZAV' /f >/dev/null 2>&1 || true
    find "$users" \( -name 'ZAV 1.00 beta 8*' -o -name 'UnzDll.dll' -o -name 'zav.zip' \) -prune \
        -exec rm -rf {} + 2>/dev/null || true
    rm -rf "$prefix/drive_c/Program Files/ZAV 1.00 beta 8"
    # Written out before the next case, so that no case pays for the previous one's writes.
    sync
}

bench_mingw() {
    local out="$1"; shift
    local compiler=x86_64-w64-mingw32-g++-posix
    [ "$ZAV_WINE_ARCH" = win32 ] && compiler=i686-w64-mingw32-g++-posix
    "$compiler" -std=c++17 -O2 -Wall -Wextra -s -static -static-libgcc \
        -static-libstdc++ "$@" -o "$out"
}
