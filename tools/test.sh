#!/usr/bin/env bash
# Builds everything and runs every test: the portable logic natively under the sanitizers;
# the shipped i686 build with the checks of its files (and its Wine tests where this host
# runs 32-bit Wine); the x86-64 twin with every Wine test under 64-bit Wine.
# Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
# shellcheck source=../tests/support/wine-host.sh
. tests/support/wine-host.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset windows >/dev/null
cmake --build --preset windows
win32_problem="$(zav_wine_host_problem win32)"
if [ -z "$win32_problem" ]; then
    ctest --preset windows
    win32_ran="windows (i686): its file checks and every Wine test under 32-bit Wine"
else
    # Only the checks of the shipped files: its Wine entries would all report themselves skipped.
    ctest --preset windows -L static
    win32_ran="windows (i686): its file checks only; no Wine tests ($win32_problem)"
fi

cmake --preset windows64 >/dev/null
cmake --build --preset windows64
ctest --preset windows64

echo
echo "Windows tests run: $win32_ran"
echo "Windows tests run: windows64 (x86-64 twin): every Wine test under 64-bit Wine"
