#!/usr/bin/env bash
# Builds the shipped modules a second time, later, from a copy of the sources in another
# folder and into another build folder, with no compiler cache, and checks that setup.exe,
# UnzDll.dll, Zav.exe and zav.zip come out byte for byte as in the preset's build tree.
#   reproducible_build.sh SOURCE_DIR BUILD_DIR TOOLCHAIN_FILE
# Works in BUILD_DIR/reproduce.
set -euo pipefail
source_dir="$(cd "$1" && pwd)" main_build="$(cd "$2" && pwd)" toolchain="$3"
work="$main_build/reproduce"
log="$work/log.txt"
shipped=(setup.exe UnzDll.dll product/Zav.exe zav.zip)

rm -rf "$work"
mkdir -p "$work/source"
# The sources as they stand, without build trees or the repository itself.
excludes=(--exclude=./build --exclude=./.git)
case "$main_build/" in
    "$source_dir"/*) excludes+=("--exclude=./${main_build#"$source_dir"/}") ;;
esac
tar -C "$source_dir" "${excludes[@]}" -cf - . | tar -C "$work/source" -xf -

export CCACHE_DISABLE=1
if ! { cmake -S "$work/source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$work/build" --target setup -j 2; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "reproducible_build: the second build failed" >&2
    exit 1
fi

differ=0
for file in "${shipped[@]}"; do
    if ! cmp "$main_build/$file" "$work/build/$file"; then
        echo "reproducible_build: $file differs between $main_build and $work/build" >&2
        differ=1
    fi
done
[ "$differ" = 0 ] || exit 1
echo "reproducible_build: ${shipped[*]} equal in both builds"
rm -rf "$work"
