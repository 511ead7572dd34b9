# What the build, test and benchmark scripts share; sourced by them.

# script_start USAGE MIN MAX "$@": exits 2, with "usage: SCRIPT USAGE", unless the script was
# given from MIN to MAX arguments; sets `root` (the repository), `build` (the first
# argument, the build tree, made when missing) and `jobs` (the build's parallelism,
# ORVO_JOBS or every processor).
script_start() {
    local usage=$1 min=$2 max=$3
    shift 3
    if [ $# -lt "$min" ] || [ $# -gt "$max" ]; then
        echo "usage: $0 $usage" >&2
        exit 2
    fi
    root=$(cd "$(dirname "$0")/.." && pwd)
    mkdir -p "$1"
    build=$(cd "$1" && pwd)
    jobs=${ORVO_JOBS:-$(nproc)}
}

# bench_build TARGET...: a release tree in `build`, the tests off and the benchmarks on,
# with these targets built.
bench_build() {
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF \
        -DORVO_BUILD_BENCHMARKS=ON >/dev/null
    cmake --build "$build" -j "$jobs" --target "$@"
}
