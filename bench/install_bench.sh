#!/usr/bin/env bash
# Times, side by side in one run under Wine, three things about setup.exe:
#   install  the install sequence, from the click on "Install" to the end of setup.exe
#            (every option on: seven shortcuts, the record, the product started)
#   startup  the start of setup.exe to its first fully painted window
#   copy     the bare copy of the expanded product tree with the same shell operation the
#            setup uses: the floor under the install sequence
# and prints the median of each and their ratios. Not a test: nothing is asserted.
#   bench/install_bench.sh [RUNS]     (default 7)
# Times the x86-64 twin of the setup (build/windows64) under 64-bit Wine.
# Uses a Wine session of its own in BUILD/wine/bench (never ~/.wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
runs="${1:-7}"

# shellcheck source=bench/bench_lib.sh
. bench/bench_lib.sh
bench_choose install_bench
cmake --preset "$ZAV_PRESET" >/dev/null
cmake --build --preset "$ZAV_PRESET" --target setup zavdriver >/dev/null
bench_session bench
work="$prefix/drive_c/zavbench"

# The expanded product tree, as the unzip library leaves it in the Templates folder.
rm -rf "$work"
bench_product_tree "$work/source"

# Back to a prefix without any trace of an installation.
clean() {
    bench_clean
    rm -rf "$work/target"
    mkdir -p "$work/target"
}

results="$session/results.txt"
: > "$results"
for i in $(seq 1 "$runs"); do
    clean
    out="$("$ZAV_WINE" "$build/tests/zavdriver.exe" "$(winpath "$build/setup.exe")" \
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
