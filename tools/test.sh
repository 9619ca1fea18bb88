#!/usr/bin/env bash
# Builds everything and runs every test: the portable logic natively under the sanitizers,
# then the Windows program and its tests under Wine. Installs missing packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

./tools/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset windows >/dev/null
cmake --build --preset windows
# shellcheck source=../tests/support/win32-host.sh
. tests/support/win32-host.sh
problem="$(zav_win32_host_problem)"
[ -z "$problem" ] || echo "NOTICE: $problem: every Windows test below reports itself skipped." >&2
ctest --preset windows
