#!/usr/bin/env bash
# Fuzzes the portable unzip core for as long as asked (seconds, default 600;
# 0 runs until interrupted). Further arguments go to libFuzzer, e.g. -jobs=2.
# The corpus grows in build/native/fuzz-corpus across runs, starting from the
# seeds in tests/native/fuzz/seeds; findings land in build/native/fuzz-findings.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-600}"
shift || true

cmake --preset native >/dev/null
cmake --build --preset native --target unzip_fuzz

corpus=build/native/fuzz-corpus
findings=build/native/fuzz-findings
mkdir -p "$corpus" "$findings"
exec build/native/tests/native/fuzz/unzip_fuzz -max_total_time="$seconds" -rss_limit_mb=512 \
    -timeout=5 -print_final_stats=1 -artifact_prefix="$findings/" "$@" \
    "$corpus" tests/native/fuzz/seeds
