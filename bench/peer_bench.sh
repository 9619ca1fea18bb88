#!/usr/bin/env bash
# Benchmark, not a test: our setup against an NSIS installer of the same product, in one run
# under one Xvfb and one warm wineserver (winemenubuilder off), the cases interleaved round by
# round, with Wine's desktop kept running throughout (else Wine starts it again inside the
# measured start of whichever program comes first after a pause). Prints sizes, medians,
# min-max and ratios for
#   sizes    the shipped i686 setup.exe, UnzDll.dll and zav.zip against NSIS's x86 installer
#            of the same tree (zlib)
#   install  ours from the click on "Install" to the end of setup.exe (all options on: seven
#            shortcuts, the registry record, Zav.exe started) against the whole silent NSIS
#            install of the same tree doing the same (bench/peer.nsi)
#            and against its floor: bench/install_floor.cpp, the same unavoidable work with
#            the same calls and nothing else (two staged files, the copy, seven links, four
#            registry values, the staging's clean-up, Zav.exe started), also told without the
#            clean-up; and the peak working set of setup.exe over an install against that of
#            the NSIS installer over its own
#   startup  setup.exe from its start to its first painted window against a bare window
#            program (bench/bare_window.cpp) driven the same way, and against the same bare
#            window making the calls a setup cannot start without (common controls with the
#            manifest's visual styles, COM, the shell's folders, the registry)
#   scale    a generated archive of about 100 MB and a few thousand files, expanded by
#            UnzDll.dll, by Debian's unzip and by an NSIS installer of the same tree, and
#            only written, without reading or inflating (bench/write_floor.cpp)
# and then where the time of the install and of the start-up goes, step by step, from traced
# rounds (Wine's relay trace of the calls setup.exe makes; not part of the timed rounds).
# Every case is checked: trees equal, the seven links and four registry values present.
# The timed build is the shipped i686 build under 32-bit Wine against NSIS's x86 installers
# where 32-bit Wine runs, else the x86-64 twin under 64-bit Wine against NSIS's amd64-unicode
# installers; the first line says which.
#   bench/peer_bench.sh [ROUNDS] [SCALE_ROUNDS] [TRACED_ROUNDS]   (default 9, 5, 3)
# Environment: PEER_BENCH_MB (default 100); PEER_BENCH_BUILD=windows or windows64 times that
# build wherever its Wine runs. Uses BUILD/wine/peer (never ~/.wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
rounds="${1:-9}"
scale_rounds="${2:-5}"
traced_rounds="${3:-3}"
megabytes="${PEER_BENCH_MB:-100}"
product="ZAV 1.00 beta 8"

if ! command -v makensis >/dev/null; then
    echo "== installing nsis"
    apt-get install -y nsis >/dev/null
fi
for tool in python3 unzip makensis; do
    command -v "$tool" >/dev/null || { echo "peer_bench: $tool missing" >&2; exit 1; }
done

# shellcheck source=bench/bench_lib.sh
. bench/bench_lib.sh
bench_choose_shipped peer_bench "${PEER_BENCH_BUILD:-}"

echo "== building"
cmake --preset windows >/dev/null
cmake --build --preset windows --target setup UnzDll >/dev/null
shipped="$root/build/windows"
cmake --preset "$ZAV_PRESET" >/dev/null
cmake --build --preset "$ZAV_PRESET" --target setup UnzDll zavdriver >/dev/null
# NSIS's installers for the timed build's architecture: x86 (its default target), or amd64.
nsis_target=()
[ "$ZAV_WINE_ARCH" = win64 ] && nsis_target=("-XTarget amd64-unicode" -DWIDE)
work="$build/peerbench"
rm -rf "$work"; mkdir -p "$work"
results="$work/results.txt"
: > "$results"

bench_mingw "$work/timed_run.exe" bench/timed_run.cpp -lpsapi
bench_mingw "$work/bare_window.exe" -mwindows bench/bare_window.cpp
bench_mingw "$work/bare_required.exe" -mwindows -DREQUIRED_CALLS bench/bare_window.cpp -lcomctl32 -lole32 -lshell32
# The setup's own manifest, beside the program, so that it gets the same common controls.
cp "$build/install/resources/setup.manifest" "$work/bare_required.exe.manifest"
bench_mingw "$work/install_floor.exe" bench/install_floor.cpp -lole32 -luuid -lshell32
bench_mingw "$work/write_floor.exe" bench/write_floor.cpp
bench_mingw "$work/desktop_holder.exe" -mwindows bench/desktop_holder.cpp
bench_mingw "$work/unzip_driver.exe" -I"$root/unzip/dll" bench/unzip_driver.cpp

driver="$build/tests/zavdriver.exe"
setup_exe="$(winpath "$build/setup.exe")"
# Through a file, not a pipe: a program the timed one starts (NSIS starts Zav.exe) inherits
# the output and would hold a pipe open until it ends.
timed() {
    local code=0
    "$ZAV_WINE" "$work/timed_run.exe" "$@" >"$work/timed.out" 2>&1 || code=$?
    tr -d '\r' <"$work/timed.out"
    return "$code"
}
close_product() { "$ZAV_WINE" "$driver" none close:Zav.exe >/dev/null 2>&1 || true; }
record() { echo "$1 $2" >> "$results"; }
field() { awk -v name="$1" '$1 == name { print $2 }'; }

echo "== product tree and NSIS installers"
bench_product_tree "$work/source"
tree="$work/source/$product"
makensis -V1 -DPRODUCT -DSOURCE="$tree" -DOUTFILE="$work/nsis_product_x86.exe" bench/peer.nsi
makensis -V1 "${nsis_target[@]}" -DPRODUCT -DSOURCE="$tree" -DOUTFILE="$work/nsis_product.exe" bench/peer.nsi
python3 bench/make_archive.py "$work/scale.zip" "$megabytes"
mkdir -p "$work/scale_tree"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
    "$work/scale.zip" "$work/scale_tree"
# What the write floor writes: the archive's folders and files with their sizes, in its order.
python3 - "$work/scale.zip" "$work/scale_list.txt" <<'PY'
import sys, zipfile
made = set()
with open(sys.argv[2], "w") as out:
    for info in zipfile.ZipFile(sys.argv[1]).infolist():
        parts = info.filename.rstrip("/").split("/")
        folders = parts if info.is_dir() else parts[:-1]
        for depth in range(1, len(folders) + 1):
            folder = "\\".join(folders[:depth])
            if folder not in made:
                made.add(folder)
                out.write(f"D {folder}\n")
        if not info.is_dir():
            out.write(f"F {info.file_size} {chr(92).join(parts)}\n")
PY
makensis -V1 "${nsis_target[@]}" -DSOURCE="$work/scale_tree" -DOUTFILE="$work/nsis_scale.exe" bench/peer.nsi

sizes=("$shipped/setup.exe" "$shipped/UnzDll.dll" "$shipped/zav.zip" "$work/nsis_product_x86.exe"
    "$work/scale.zip" "$work/nsis_scale.exe")
python3 - "${sizes[@]}" <<'PY'
import os, sys
print("\nSizes (bytes): the shipped i686 files against NSIS's x86 installer")
for path in sys.argv[1:]:
    print(f"  {os.path.basename(path):22}{os.path.getsize(path):>12,}")
setup, dll, archive, nsis = (os.path.getsize(p) for p in sys.argv[1:5])
print(f"  setup.exe / NSIS installer: {setup / nsis:.2f}")
print(f"  UnzDll.dll: {dll / 1024:.1f} KiB (goal <= 64 KiB)")
print(f"  setup.exe - 2 x (UnzDll.dll + zav.zip): {(setup - 2 * (dll + archive)) / 1024:.1f} KiB"
      " (goal <= 96 KiB)\n")
PY

bench_session peer
# Wine's desktop for the whole run, as a user's session has one (bench/desktop_holder.cpp);
# it ends with the session.
"$ZAV_WINE" "$work/desktop_holder.exe" </dev/null >/dev/null 2>&1 &

# --- checks -------------------------------------------------------------------------------
fail() { echo "peer_bench: $*" >&2; exit 1; }
# shellcheck source=../tests/support/installed-product.sh
. tests/support/installed-product.sh
# The tree, links and record as our setup leaves them, and nothing left in Templates.
check_install() { zav_check_installed "$1" "$tree" || exit 1; }
# Where the floor finds the product folder, as our setup finds it after the expansion.
templates="$(find "$users" -type d -name Templates | head -n1)"

# --- the product cases ----------------------------------------------------------------------
ours_install() {
    local out
    out="$("$ZAV_WINE" "$driver" "$setup_exe" start to-progress install close:Zav.exe 2>&1 | tr -d '\r')" ||
        fail "our install failed: $out"
    record startup_ours "$(awk '/^painted_ms /{print $2}' <<<"$out")"
    record install_ours "$(awk '/^exited_ms /{print $2}' <<<"$out")"
    record memory_ours "$(field peak_ws_kb <<<"$out")"
    record memory_ours_painted "$(field painted_peak_ws_kb <<<"$out")"
    check_install ours
}
nsis_install() {
    local out
    out="$(timed "$(winpath "$work/nsis_product.exe")")" || fail "NSIS install failed: $out"
    close_product
    record install_nsis "$(awk '/^ms /{print $2}' <<<"$out")"
    record memory_nsis "$(field peak_ws_kb <<<"$out")"
    check_install NSIS
}
# The floor's time runs from the start of its work to the end of its process, as ours runs
# from the click to the end of setup.exe; without the clean-up, less the time of that. The
# expanded product folder is put into Templates first, on disk before the floor starts.
floor_install() {
    local out
    cp -r "$tree" "$templates/"
    sync
    out="$(timed "$(winpath "$work/install_floor.exe")" \
        "$(stat -c %s "$build/UnzDll.dll")" "$(stat -c %s "$build/zav.zip")")" ||
        fail "install floor failed: $out"
    close_product
    record install_floor "$(awk '/^begun_qpc /{b = $2} /^ended_qpc /{e = $2} /^qpc_hz /{f = $2}
        END { printf "%.1f", (e - b) * 1000 / f }' <<<"$out")"
    record install_floor_bare "$(awk '/^begun_qpc /{b = $2} /^ended_qpc /{e = $2} /^qpc_hz /{f = $2}
        /^cleanup_begun_qpc /{cb = $2} /^cleanup_ended_qpc /{ce = $2}
        END { printf "%.1f", (e - b - (ce - cb)) * 1000 / f }' <<<"$out")"
    record memory_floor "$(field peak_ws_kb <<<"$out")"
    check_install floor
}
bare_start() {
    local out
    out="$("$ZAV_WINE" "$driver" "$(winpath "$work/bare_window.exe")" start 2>&1 | tr -d '\r')" ||
        fail "bare window failed: $out"
    record startup_bare "$(awk '/^painted_ms /{print $2}' <<<"$out")"
    record memory_bare "$(field painted_peak_ws_kb <<<"$out")"
    out="$("$ZAV_WINE" "$driver" "$(winpath "$work/bare_required.exe")" start 2>&1 | tr -d '\r')" ||
        fail "bare window with the required calls failed: $out"
    record startup_required "$(awk '/^painted_ms /{print $2}' <<<"$out")"
    record memory_required "$(field painted_peak_ws_kb <<<"$out")"
}

echo "== product: $rounds rounds of ours, NSIS, the floor, bare window"
for round in $(seq 1 "$rounds"); do
    bench_clean; ours_install
    bench_clean; nsis_install
    bench_clean; floor_install
    bench_clean; bare_start
    printf 'round %d/%d\n' "$round" "$rounds" >&2
done
bench_clean

# --- the scale case ---------------------------------------------------------------------------
scale_out="$work/out"
echo "== scale: $scale_rounds rounds of UnzDll, unzip, NSIS, the write floor"
for round in $(seq 1 "$scale_rounds"); do
    rm -rf "$scale_out"; mkdir -p "$scale_out/dll" "$scale_out/unzip" "$scale_out/floor"; sync
    out="$(timed "$(winpath "$work/unzip_driver.exe")" "$(winpath "$build/UnzDll.dll")" \
        "$(winpath "$work/scale.zip")" "$(winpath "$scale_out/dll")")" || fail "UnzDll failed: $out"
    record scale_unzdll "$(awk '/^ms /{print $2}' <<<"$out")"
    record scale_unzdll_call "$(awk -F'seconds=' '/seconds=/{print $2 * 1000}' <<<"$out")"

    start="$(date +%s%N)"
    unzip -q -o "$work/scale.zip" -d "$scale_out/unzip"
    record scale_unzip "$(awk -v a="$start" -v b="$(date +%s%N)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')"

    out="$(timed "$(winpath "$work/nsis_scale.exe")" /S "/D=$(winpath "$scale_out/nsis")")" ||
        fail "NSIS scale install failed: $out"
    record scale_nsis "$(awk '/^ms /{print $2}' <<<"$out")"

    out="$(timed "$(winpath "$work/write_floor.exe")" "$(winpath "$work/scale_list.txt")" \
        "$(winpath "$scale_out/floor")")" || fail "write floor failed: $out"
    record scale_floor "$(awk '/^ms /{print $2}' <<<"$out")"

    for who in dll unzip nsis; do
        diff -r "$work/scale_tree" "$scale_out/$who" >/dev/null || fail "scale: the $who tree differs"
    done
    # The floor writes other bytes: the same names and sizes are its check.
    [ "$(cd "$work/scale_tree" && find . -printf '%y %s %p\n' | grep -v '^d' | sort)" = \
      "$(cd "$scale_out/floor" && find . -printf '%y %s %p\n' | grep -v '^d' | sort)" ] ||
        fail "scale: the floor's tree differs"
    printf 'scale round %d/%d\n' "$round" "$scale_rounds" >&2
done
rm -rf "$scale_out"

# --- traced rounds ----------------------------------------------------------------------------
# Wine's relay trace of the calls setup.exe itself makes to the system, nothing else: the
# same program, with a millisecond time stamp on each mark (trace_steps.py names the marks).
echo "== traced: $traced_rounds rounds"
traced_calls="InitCommonControlsEx;RegisterClassExA;CreateWindowExA;RegOpenKeyExA;RegCreateKeyA"
traced_calls+=";ShowWindow;UpdateWindow;GetMessageA;EndPaint;InvalidateRect;CreateFileA"
traced_calls+=";LoadLibraryA;LoadLibraryExA;FreeLibrary;SHFileOperationA;CoCreateInstance"
traced_calls+=";CoInitialize;DeleteFileA;ShellExecuteA;SendMessageA;exit;_exit;_cexit;ExitProcess"
traced_calls+=";SHGetFolderPathA;SHGetFolderPathW;DrawTextA;CoUninitialize"
"$ZAV_WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$traced_calls" /f >/dev/null
"$ZAV_WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayFromInclude /d setup.exe /f >/dev/null
mkdir -p "$work/traces"
for round in $(seq 1 "$traced_rounds"); do
    bench_clean
    WINEDEBUG=+pid,+timestamp,+relay,+loaddll "$ZAV_WINE" "$driver" "$setup_exe" start \
        2>"$work/traces/startup$round.txt" >/dev/null || fail "traced start failed"
    bench_clean
    out="$(WINEDEBUG=+pid,+timestamp,+relay,+loaddll "$ZAV_WINE" "$driver" "$setup_exe" start \
        to-progress install close:Zav.exe 2>"$work/traces/install$round.txt" | tr -d '\r')" ||
        fail "traced install failed"
    record traced_install "$(awk '/^exited_ms /{print $2}' <<<"$out")"
    record traced_startup "$(awk '/^painted_ms /{print $2}' <<<"$out")"
done
"$ZAV_WINE" reg delete 'HKCU\Software\Wine\Debug' /f >/dev/null 2>&1 || true
bench_clean

# --- report -----------------------------------------------------------------------------------
echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores;" \
    "$("$ZAV_WINE" --version) ($ZAV_WINE_ARCH: timed build/$ZAV_PRESET); $(date -u '+%Y-%m-%d %H:%M UTC')"
if [ "$ZAV_WINE_ARCH" = win32 ]; then
    echo "Timed: the shipped i686 build under 32-bit Wine, against NSIS's x86 installers"
else
    echo "Timed: the x86-64 twin under 64-bit Wine, against NSIS's amd64-unicode installers"
fi
python3 - "$results" "$rounds" "$scale_rounds" "$megabytes" <<'PY'
import statistics, sys
results, rounds, scale_rounds, megabytes = sys.argv[1:5]
samples = {}
for line in open(results):
    name, value = line.split()
    samples.setdefault(name, []).append(float(value))
med = {k: statistics.median(v) for k, v in samples.items()}

def row(label, name):
    v = samples.get(name, [])
    if v:
        print(f"  {label:44}{med[name]:9.1f}{min(v):9.1f}{max(v):9.1f}")

def ratio(label, a, b, goal=None):
    if med.get(a) and med.get(b):
        text = f"  {label:44}{med[a] / med[b]:9.2f}"
        print(text + (f"   (goal <= {goal})" if goal else ""))

print(f"\nProduct, {rounds} interleaved rounds (ms)      {'median':>9}{'min':>9}{'max':>9}")
row("install ours: click to end of setup.exe", "install_ours")
row("install NSIS: whole silent install", "install_nsis")
row("start to first paint, setup.exe", "startup_ours")
row("install floor: its work to its end", "install_floor")
row("install floor without the staging clean-up", "install_floor_bare")
row("start to first paint, bare window", "startup_bare")
row("start to first paint, bare + required calls", "startup_required")
ratio("install ours / NSIS", "install_ours", "install_nsis", "0.6, aim 0.5")
ratio("install ours / floor", "install_ours", "install_floor")
ratio("install ours / floor without clean-up", "install_ours", "install_floor_bare")
ratio("install floor / NSIS", "install_floor", "install_nsis")
ratio("install floor without clean-up / NSIS", "install_floor_bare", "install_nsis")
ratio("start-up ours / bare window", "startup_ours", "startup_bare", "1.15")
ratio("start-up ours / bare + required calls", "startup_ours", "startup_required")
ratio("start-up bare + required / bare window", "startup_required", "startup_bare")

print(f"\nPeak working set over an install (KiB)     {'median':>9}{'min':>9}{'max':>9}")
row("setup.exe (sampled by the driver)", "memory_ours")
row("NSIS installer (sampled by timed_run)", "memory_nsis")
row("install floor (sampled by timed_run)", "memory_floor")
row("setup.exe by its first paint", "memory_ours_painted")
row("bare window by its first paint", "memory_bare")
row("bare + required calls by its first paint", "memory_required")
ratio("setup.exe / NSIS", "memory_ours", "memory_nsis", "1.0")

print(f"\nScale, {megabytes} MB, {scale_rounds} interleaved rounds (ms){'median':>7}{'min':>9}{'max':>9}")
row("UnzDll.dll (driver process)", "scale_unzdll")
row("UnzDll.dll (inside UnzDllExec)", "scale_unzdll_call")
row("unzip -q (native)", "scale_unzip")
row("NSIS install (whole process)", "scale_nsis")
row("write floor (whole process, no inflating)", "scale_floor")
ratio("UnzDll / NSIS", "scale_unzdll", "scale_nsis", "0.5")
ratio("UnzDll / unzip", "scale_unzdll", "scale_unzip", "0.7")
ratio("UnzDll / write floor", "scale_unzdll", "scale_floor", "1.3")
ratio("write floor / unzip", "scale_floor", "scale_unzip")
ratio("write floor / NSIS", "scale_floor", "scale_nsis")
if med.get("traced_install"):
    print(f"\nTraced rounds: install {med['traced_install']:.1f} ms, start-up {med['traced_startup']:.1f} ms"
          " (the trace's own cost included)")
PY
echo
echo "Install, click to end, step by step (ms; the rest of the total is the click's delivery"
echo "and the end of the process, which the trace does not see):"
python3 bench/trace_steps.py install "$work"/traces/install*.txt
echo
echo "Start-up, step by step (ms; the rest is process creation before the first trace line"
echo "and the driver noticing the paint):"
python3 bench/trace_steps.py startup "$work"/traces/startup*.txt
