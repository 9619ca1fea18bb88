# shellcheck shell=bash
# Shared by the setup benchmarks (sourced, not run): one Wine session in the build tree, the
# expanded product tree, and the way back to a prefix without an installation.
#   bench_session NAME      start build/windows/wine/NAME (Xvfb, prefix copy, warm wineserver,
#                           winemenubuilder off); stopped when the script exits
#   bench_product_tree DIR  zav.zip of the build expanded into DIR
#   bench_clean             remove every trace of an installation of the product
#   winpath PATH            the Unix path as Wine names it (Z:\...)
#   bench_mingw OUT SRC...  one bench program built with the project's cross compiler
#   bench_require_32bit     stop with a clear message where 32-bit programs cannot run
# Expects root (the worktree) and build (its windows build tree) to be set.

bench_session() {
    session="$build/wine/$1"
    "$root/tests/support/wine-session.sh" start "$session" "$build/wine/template"
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
    wine reg delete 'HKCU\Software\ZAV' /f >/dev/null 2>&1 || true
    find "$users" \( -name 'ZAV 1.00 beta 8*' -o -name 'UnzDll.dll' -o -name 'zav.zip' \) -prune \
        -exec rm -rf {} + 2>/dev/null || true
    rm -rf "$prefix/drive_c/Program Files/ZAV 1.00 beta 8"
}

bench_mingw() {
    local out="$1"; shift
    i686-w64-mingw32-g++-posix -std=c++17 -O2 -Wall -Wextra -s -static -static-libgcc \
        -static-libstdc++ "$@" -o "$out"
}

# 32-bit Wine needs a kernel that runs 32-bit code; some hosts switch IA-32 emulation off, and
# then every Wine start fails with "Exec format error" and no word of why.
bench_require_32bit() {
    local loader=/lib/ld-linux.so.2
    if [ -x "$loader" ] && ! "$loader" --version >/dev/null 2>&1; then
        echo "this machine cannot run 32-bit programs (IA-32 emulation is off: see dmesg)," \
            "so Wine cannot run setup.exe" >&2
        exit 1
    fi
}
