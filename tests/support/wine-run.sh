#!/usr/bin/env bash
# Runs a Windows test executable inside the test run's Wine session (see wine-session.sh).
# ZAV_WINE_SESSION names the session folder; CTest sets it for every test.
set -eu
# shellcheck source=win32-host.sh
. "$(dirname "$0")/win32-host.sh"
zav_require_win32_host
session="${ZAV_WINE_SESSION:-}"
if [ -z "$session" ] || [ ! -f "$session/env" ]; then
    echo "wine-run: no Wine session at '${session}' (run the tests through ctest)" >&2
    exit 1
fi
# shellcheck disable=SC1091
. "$session/env"
exec wine "$@"
