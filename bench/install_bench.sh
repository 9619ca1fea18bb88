#!/usr/bin/env bash
# Times, side by side in one run under Wine, three things about setup.exe:
#   install  the install sequence, from the click on "Install" to the end of setup.exe
#            (every option on: seven shortcuts, the record, the product started)
#   startup  the start of setup.exe to its first fully painted window
#   copy     the bare copy of the expanded product tree with the same shell operation the
#            setup uses: the floor under the install sequence
# and prints the median of each and their ratios. Not a test: nothing is asserted.
#   bench/install_bench.sh [RUNS]     (default 7)
# Uses a Wine session of its own in build/windows/wine/bench (never ~/.wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
runs="${1:-7}"

cmake --preset windows >/dev/null
cmake --build --preset windows --target setup zavdriver >/dev/null

build="$root/build/windows"
session="$build/wine/bench"
tests/support/wine-session.sh start "$session" "$build/wine/template"
trap 'tests/support/wine-session.sh stop "$session"' EXIT
# shellcheck disable=SC1091
. "$session/env"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
prefix="$WINEPREFIX"
users="$prefix/drive_c/users"
work="$prefix/drive_c/zavbench"

# The expanded product tree, as the unzip library leaves it in the Templates folder.
rm -rf "$work"; mkdir -p "$work/source"
python3 - "$build/zav.zip" "$work/source" <<'PY'
import sys, zipfile
zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])
PY

# Back to a prefix without any trace of an installation.
clean() {
    wine reg delete 'HKCU\Software\ZAV' /f >/dev/null 2>&1 || true
    find "$users" \( -name 'ZAV 1.00 beta 8*' -o -name 'UnzDll.dll' -o -name 'zav.zip' \) -prune \
        -exec rm -rf {} + 2>/dev/null || true
    rm -rf "$prefix/drive_c/Program Files/ZAV 1.00 beta 8" "$work/target"
    mkdir -p "$work/target"
}

results="$session/results.txt"
: > "$results"
for i in $(seq 1 "$runs"); do
    clean
    out="$(wine "$build/tests/zavdriver.exe" "$(winpath "$build/setup.exe")" \
        "copy:C:\\zavbench\\source\\ZAV 1.00 beta 8>C:\\zavbench\\target" \
        start to-progress install close:Zav.exe 2>&1 | tr -d '\r')" || {
        echo "run $i failed:"; echo "$out"; exit 1; }
    echo "$out" | awk -v run="$i" '
        /^copy_ms /    { printf "copy %s\n", $2 }
        /^painted_ms / { printf "startup %s\n", $2 }
        /^exited_ms /  { printf "install %s\n", $2 }' >> "$results"
    printf 'run %d/%d done\n' "$i" "$runs" >&2
done
clean

python3 - "$results" "$runs" <<'PY'
import statistics, sys
samples = {}
for line in open(sys.argv[1]):
    name, value = line.split()
    samples.setdefault(name, []).append(float(value))
median = {name: statistics.median(values) for name, values in samples.items()}
print(f"setup.exe under Wine, {sys.argv[2]} runs (milliseconds)")
print(f"{'':10}{'median':>10}{'min':>10}{'max':>10}")
for name in ("install", "startup", "copy"):
    values = samples.get(name, [])
    if values:
        print(f"{name:10}{median[name]:10.1f}{min(values):10.1f}{max(values):10.1f}")
if median.get("copy"):
    print(f"install / copy    {median['install'] / median['copy']:8.2f}")
    print(f"startup / copy    {median['startup'] / median['copy']:8.2f}")
if median.get("startup"):
    print(f"install / startup {median['install'] / median['startup']:8.2f}")
PY
