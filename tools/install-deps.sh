#!/usr/bin/env bash
# Installs what the build, the tests and the run need on Debian 12 (as root).
# Returns quickly when everything is already present.
# 64-bit Wine runs the x86-64 twin's tests everywhere. 32-bit Wine (wine32:i386), for the
# shipped i686 build's own Wine tests, only where this kernel runs 32-bit code itself:
# elsewhere it could not start, and Debian's wine wrappers would still pick it.
set -euo pipefail
# shellcheck source=../tests/support/wine-host.sh
. "$(dirname "$0")/../tests/support/wine-host.sh"

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed'; }

pkgs=(cmake make g++ g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest
      clang libclang-rt-14-dev locales xvfb xauth imagemagick x11-utils xdotool python3 zlib1g-dev unzip
      wine64 osslsigncode openssl)
i386=0
if zav_host_runs_i386; then
    i386=1
    pkgs+=(wine32:i386)
fi
for p in "${pkgs[@]}"; do have_pkg "$p" || need+=("$p"); done

if [ "${#need[@]}" -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (run as root to install them)" >&2
    exit 1
fi

if [ "$i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
