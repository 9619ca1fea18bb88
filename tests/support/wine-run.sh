#!/usr/bin/env bash
# Runs a Windows test executable inside the test run's Wine session (see wine-session.sh),
# with the loader of the build's architecture. CTest sets ZAV_WINE_SESSION (the session
# folder) and ZAV_WINE_ARCH (win32 or win64) for every test.
set -eu
# shellcheck source=wine-host.sh
. "$(dirname "$0")/wine-host.sh"
zav_require_wine_host "${ZAV_WINE_ARCH:-win32}"
session="${ZAV_WINE_SESSION:-}"
if [ -z "$session" ] || [ ! -f "$session/env" ]; then
    echo "wine-run: no Wine session at '${session}' (run the tests through ctest)" >&2
    exit 1
fi
# shellcheck disable=SC1091
. "$session/env"
exec "$ZAV_WINE" "$@"
