#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds orvo for Linux (plain and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and for Windows (MinGW-w64, run under Wine),
# runs every test of each build, builds and runs the example server's container image under
# podman, then a bounded fuzzing run of the settings reader.
# Build trees go to build/ under the repository (override with ORVO_BUILD_ROOT).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_root=${ORVO_BUILD_ROOT:-$root/build}
jobs=$(nproc)

step() { printf '\n=== %s\n' "$*"; }

step "Installing missing packages"
"$root/scripts/install-deps.sh"

step "Linux build (warnings are errors)"
cmake -S "$root" -B "$build_root/linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVO_WERROR=ON
cmake --build "$build_root/linux" -j "$jobs"
ctest --test-dir "$build_root/linux" --output-on-failure -j "$jobs"

step "The container image of the example server, under podman"
"$root/scripts/test-container.sh" "$build_root/container" "$build_root/linux"

step "Linux build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$build_root/sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DORVO_WERROR=ON -DORVO_SANITIZE=ON
cmake --build "$build_root/sanitize" -j "$jobs"
ctest --test-dir "$build_root/sanitize" --output-on-failure -j "$jobs"

step "Windows cross build, tests under Wine"
"$root/scripts/test-windows.sh" "$build_root/windows"

step "Fuzzing the settings reader (bounded run)"
"$root/scripts/test-fuzz.sh" "$build_root/fuzz"

step "All tests passed"
