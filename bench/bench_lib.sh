# shellcheck shell=bash
# Shared by the setup benchmarks (sourced, not run): the build they time, one Wine session in
# its tree, the expanded product tree, and the way back to a prefix without an installation.
#   bench_choose NAME       picks the build: the shipped i686 one where this host runs 32-bit
#                           Wine, else its x86-64 twin (saying so); sets build, exports ZAV_WINE
#   bench_session NAME      start BUILD/wine/NAME (Xvfb, prefix copy, warm wineserver,
#                           winemenubuilder off); stopped when the script exits
#   bench_product_tree DIR  zav.zip of the build expanded into DIR
#   bench_clean             remove every trace of an installation of the product, and sync
#   winpath PATH            the Unix path as Wine names it (Z:\...)
#   bench_mingw OUT SRC...  one bench program built with the cross compiler of the chosen build
# Expects root (the worktree) to be set.

# shellcheck source=../tests/support/wine-host.sh
. "$root/tests/support/wine-host.sh"

bench_choose() {
    zav_wine_choose "$1"
    build="$root/build/$ZAV_PRESET"
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
    local out="$1" triple=i686-w64-mingw32; shift
    [ "$ZAV_WINE_ARCH" = win64 ] && triple=x86_64-w64-mingw32
    "$triple-g++-posix" -std=c++17 -O2 -Wall -Wextra -s -static -static-libgcc \
        -static-libstdc++ "$@" -o "$out"
}
