#!/usr/bin/env bash
# Log benchmark on Windows, under Wine (see docs/performance.md): orvo capturing a program's
# standard output through a pipe into its log, rotated at max_size='1M', against a minimal
# program that moves the same lines through an anonymous pipe into a file with one reading
# thread, round by round; then the slowest write during about 1000 rotations, and what a
# TerminateProcess right after a burst loses. Target: orvo's median throughput at least 0.9
# of the yardstick's.
#
#   scripts/bench-logs-windows.sh BUILD_DIR
#
# Cross-builds BUILD_DIR as scripts/test-windows.sh does, with the benchmarks on, and runs
# in its Wine prefix. ORVO_BENCH_RUNS sets the rounds (default 7), ORVO_BENCH_LINES the
# lines of 1 KiB per thread of 4 (default 8192: 32 MiB a round). Exit status 1 when the
# target is missed.
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start BUILD_DIR 1 1 "$@"
runs=${ORVO_BENCH_RUNS:-7}
lines=${ORVO_BENCH_LINES:-8192}

"$root/scripts/build-expat-mingw.sh" "$build/expat"
expat=$build/expat/install
cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_BENCHMARKS=ON \
    -DEXPAT_INCLUDE_DIR="$expat/include" -DEXPAT_LIBRARY="$expat/lib/libexpat.a" >/dev/null
cmake --build "$build" -j "$jobs" --target orvo-capture-bench

work=$(mktemp -d /tmp/orvo-capture.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$root/cmake/wine-run.sh" "$build/wineprefix" "$build/bench/logs/orvo-capture-bench.exe" \
    4 "$lines" 1024 "$runs" "$work"
