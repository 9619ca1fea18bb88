#!/usr/bin/env bash
# Benchmark, not a test: expands a generated ~100 MB archive (a few thousand
# files: random bytes, text and zeros) with UnzDll.dll under Wine and with
# Debian's `unzip -q`, checks both trees are identical, and prints times,
# MB/s and the ratio.
#
#   bench/unzip_bench.sh [UnzDll.dll]
#
# Environment:
#   UNZDLL           the DLL when no argument is given (default: the x86-64 twin's,
#                    build/windows64/UnzDll.dll)
#   UNZ_BENCH_DIR    work folder (default: a new folder under ${TMPDIR:-/tmp}, removed after)
#   UNZ_BENCH_RUNS   runs per tool, best time kept (default 3)
#   UNZ_BENCH_MB     uncompressed size in MB (default 100)
#   WINEPREFIX       Wine prefix to use (default: a fresh one in the work folder)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=bench/bench_lib.sh
. "$root/bench/bench_lib.sh"
bench_choose unzip_bench
dll="${1:-${UNZDLL:-$build/UnzDll.dll}}"
runs="${UNZ_BENCH_RUNS:-3}"
megabytes="${UNZ_BENCH_MB:-100}"

[ -f "$dll" ] || { echo "unzip_bench: no DLL at $dll (build it or pass its path)" >&2; exit 1; }
dll="$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")"
for tool in python3 unzip; do
    command -v "$tool" >/dev/null || { echo "unzip_bench: $tool missing" >&2; exit 1; }
done

if [ -n "${UNZ_BENCH_DIR:-}" ]; then
    work="$UNZ_BENCH_DIR"
    mkdir -p "$work"
    cleanup_work=0
else
    work="$(mktemp -d "${TMPDIR:-/tmp}/unzip-bench.XXXXXX")"
    cleanup_work=1
fi
work="$(cd "$work" && pwd)"

export WINEPREFIX="${WINEPREFIX:-$work/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$work/home"
mkdir -p "$HOME"

started_server=0
finish() {
    if [ "$started_server" = 1 ]; then "$ZAV_WINESERVER" -k >/dev/null 2>&1 || true; fi
    if [ "$cleanup_work" = 1 ]; then rm -rf "$work"; fi
}
trap finish EXIT

now() { date +%s.%N; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }

echo "== generating archive (${megabytes} MB, fixed seed)"
python3 "$root/bench/make_archive.py" "$work/bench.zip" "$megabytes"
ls -l "$work/bench.zip" | awk '{printf "archive: %.1f MB\n", $5 / 1e6}'
bytes="$(python3 -c "import zipfile,sys; print(sum(i.file_size for i in zipfile.ZipFile(sys.argv[1]).infolist()))" "$work/bench.zip")"

echo "== building driver"
bench_mingw "$work/unzip_driver.exe" -I"$root/unzip/dll" "$root/bench/unzip_driver.cpp"

echo "== preparing Wine"
mkdir -p "$WINEPREFIX"
"$ZAV_WINE" cmd /c exit >/dev/null 2>&1 || true  # creates the prefix on first use
# Keep one wineserver for all runs; stop it at the end only if we started it.
if "$ZAV_WINESERVER" -p >/dev/null 2>&1; then started_server=1; fi

winpath() { echo "Z:${1//\//\\}"; }

best_dll="" best_dll_wall="" best_unzip=""
for run in $(seq 1 "$runs"); do
    rm -rf "$work/out-dll" "$work/out-unzip"
    mkdir -p "$work/out-dll" "$work/out-unzip"
    sync

    t0="$(now)"
    line="$("$ZAV_WINE" "$work/unzip_driver.exe" "$(winpath "$dll")" "$(winpath "$work/bench.zip")" \
        "$(winpath "$work/out-dll")" | tr -d '\r')"
    t1="$(now)"
    case "$line" in code=0\ *) ;; *) echo "UnzDll failed: $line" >&2; exit 1 ;; esac
    inner="${line#*seconds=}"
    wall="$(elapsed "$t0" "$t1")"

    t0="$(now)"
    unzip -q -o "$work/bench.zip" -d "$work/out-unzip"
    t1="$(now)"
    native="$(elapsed "$t0" "$t1")"
    echo "run $run: UnzDll ${inner}s in the call (${wall}s with Wine start), unzip ${native}s"

    if [ -z "$best_dll" ] || python3 -c "import sys; sys.exit(not $inner < $best_dll)"; then
        best_dll="$inner"; best_dll_wall="$wall"
    fi
    if [ -z "$best_unzip" ] || python3 -c "import sys; sys.exit(not $native < $best_unzip)"; then
        best_unzip="$native"
    fi
done

diff -r "$work/out-dll" "$work/out-unzip" >/dev/null || { echo "trees differ" >&2; exit 1; }
echo "trees identical"

python3 - "$bytes" "$best_dll" "$best_dll_wall" "$best_unzip" <<'PY'
import sys
size, dll, dll_wall, native = int(sys.argv[1]), *map(float, sys.argv[2:])
mb = size / 1e6
print(f"UnzDll (Wine, in call):   {dll:7.3f} s  {mb / dll:7.1f} MB/s")
print(f"UnzDll (Wine, whole run): {dll_wall:7.3f} s  {mb / dll_wall:7.1f} MB/s")
print(f"unzip -q (native):        {native:7.3f} s  {mb / native:7.1f} MB/s")
print(f"ratio UnzDll/unzip: {dll / native:.2f} (in call), {dll_wall / native:.2f} (whole run)")
PY
