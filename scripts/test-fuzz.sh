#!/usr/bin/env bash
# Builds the settings reader's fuzz target (clang, libFuzzer, ASan + UBSan), replays the
# inputs kept in fuzz/regressions/, then fuzzes for a bounded time from a copy of the seed
# corpus. Fails when the build fails or the fuzzer reports anything.
#
#   scripts/test-fuzz.sh BUILD_DIR
#
# ORVO_FUZZ_SECONDS sets the length of the run (default 30).
# A crashing input is left in BUILD_DIR/fuzz-run/artifacts/; once fixed, keep it in
# fuzz/regressions/ so that every later run replays it.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "$1" && cd "$1" && pwd)
seconds=${ORVO_FUZZ_SECONDS:-30}
jobs=${ORVO_JOBS:-$(nproc)}

CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_FUZZ=ON -DORVO_BUILD_TESTS=OFF -DORVO_WERROR=ON
cmake --build "$build" -j "$jobs" --target settings_reader_fuzzer
fuzzer=$build/fuzz/settings_reader_fuzzer

# The fuzzer runs in a scratch directory of its own: an item "*" in a generated class path
# lists the current directory, and "lib/*" finds a few jars, a non-jar and a directory
# named like a jar.
run=$build/fuzz-run
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts" "$run/lib/old.jar"
touch "$run/lib/app.jar" "$run/lib/LEGACY.JAR" "$run/lib/notes.txt" "$run/lib/xutil.jar"
cp "$root"/fuzz/corpus/* "$run/corpus/"
cd "$run"

regressions=("$root"/fuzz/regressions/*)
if [ -e "${regressions[0]}" ]; then
    echo "Replaying ${#regressions[@]} kept input(s)"
    "$fuzzer" "${regressions[@]}"
fi

echo "Fuzzing the settings reader for ${seconds}s"
"$fuzzer" -max_total_time="$seconds" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
    -dict="$root/fuzz/settings.dict" -artifact_prefix="$run/artifacts/" -print_final_stats=1 \
    "$run/corpus"
