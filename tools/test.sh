#!/usr/bin/env bash
# Builds everything and runs every test: the portable logic natively under the sanitizers;
# the shipped i686 build with the checks of its files and a second build of them (and its
# Wine tests where this host runs 32-bit Wine); the x86-64 twin with its second build and
# every Wine test under 64-bit Wine. The signed build runs on one of the two.
# Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh
# shellcheck source=../tests/support/wine-host.sh
. tests/support/wine-host.sh

# Every ctest run's summary is kept, for the one line of totals at the end.
summaries="$(mktemp)"
trap 'rm -f "$summaries"' EXIT
run_ctest() {
    local out
    out="$(mktemp)"
    ctest "$@" | tee "$out"
    grep -E 'tests passed, [0-9]+ tests failed out of' "$out" >>"$summaries"
    rm -f "$out"
}

cmake --preset native >/dev/null
cmake --build --preset native
run_ctest --preset native

cmake --preset windows >/dev/null
cmake --build --preset windows
win32_problem="$(zav_wine_host_problem win32)"
if [ -z "$win32_problem" ]; then
    run_ctest --preset windows
    win32_ran="windows (i686): its file checks, its second build and every Wine test under 32-bit Wine, the signed build's included"
else
    # Only the checks of the shipped files and the second build: its Wine entries would all
    # report themselves skipped.
    run_ctest --preset windows -L static
    win32_ran="windows (i686): its file checks and its second build only; no Wine tests ($win32_problem)"
fi

cmake --preset windows64 >/dev/null
cmake --build --preset windows64
# The signed build is tested once: on the shipped build where its Wine runs, else on the twin.
if [ -z "$win32_problem" ]; then
    run_ctest --preset windows64 -LE signing
    win64_ran="windows64 (x86-64 twin): its second build and every Wine test under 64-bit Wine but the signed build's"
else
    run_ctest --preset windows64
    win64_ran="windows64 (x86-64 twin): its second build and every Wine test under 64-bit Wine, the signed build's included"
fi

echo
echo "Windows tests run: $win32_ran"
echo "Windows tests run: $win64_ran"
awk '{ total += $NF; failed += $(NF - 5) } END { printf "ctest: %d passed, %d failed\n", total - failed, failed }' "$summaries"
