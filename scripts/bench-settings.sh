#!/usr/bin/env bash
# Benchmark of the settings reader on a large file made mostly of ignored elements and
# comments (see docs/performance.md). Checks two targets:
#   - peak memory of a load stays within 16 MiB of a load of the same configuration
#     without padding (the empty run);
#   - load_settings() takes at most 1.5 times as long as a bare Expat parse of the same
#     file with the same chunk size and no handlers.
#
#   scripts/bench-settings.sh BUILD_DIR [SIZE_MIB]      (SIZE_MIB defaults to 100)
#
# Builds a release tree in BUILD_DIR with the benchmarks on; the input is generated in a
# temporary directory and removed afterwards. Exit status 1 when a target is missed.
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start "BUILD_DIR [SIZE_MIB]" 1 2 "$@"
size_mib=${2:-100}
runs=${ORVO_BENCH_RUNS:-5}
bench_build orvo-bench-settings-load orvo-settings-load-once
load_once=$build/bench/orvo-settings-load-once
bench=$build/bench/orvo-bench-settings-load

work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-bench-settings.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$root/bench/make_padded_settings.py" "$work/large.xml" "$size_mib"
"$root/bench/make_padded_settings.py" "$work/empty.xml" 0
echo "Input: $(stat -c %s "$work/large.xml") bytes, $(grep -c '<metadata' "$work/large.xml") ignored blocks"

# Peak resident set size in KiB of one run of load-once, the largest of $runs runs.
peak_kib() {
    local mode=$1 file=$2 worst=0 kib
    for _ in $(seq "$runs"); do
        kib=$(/usr/bin/time -f %M "$load_once" "$mode" "$file" 2>&1 >/dev/null | tail -n 1)
        [ "$kib" -gt "$worst" ] && worst=$kib
    done
    echo "$worst"
}

echo
echo "Peak memory (largest maximum resident set size of $runs runs, KiB):"
empty_kib=$(peak_kib settings "$work/empty.xml")
large_kib=$(peak_kib settings "$work/large.xml")
expat_kib=$(peak_kib expat "$work/large.xml")
printf '  load_settings, empty run:  %8d\n' "$empty_kib"
printf '  load_settings, %d MiB:    %8d\n' "$size_mib" "$large_kib"
printf '  bare Expat, %d MiB:       %8d\n' "$size_mib" "$expat_kib"
growth_kib=$((large_kib - empty_kib))
printf '  growth over the empty run: %d KiB (target: under %d KiB)\n' "$growth_kib" $((16 * 1024))

echo
echo "Parse time ($runs repetitions each, median):"
"$bench" "$work/large.xml" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true --benchmark_out="$work/times.json" \
    --benchmark_out_format=json >"$work/bench.log" 2>&1 || { cat "$work/bench.log"; exit 1; }
ratio=$(python3 - "$work/times.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
# With real time the names carry a "/real_time" suffix.
median = {b["run_name"].split("/")[0]: b for b in runs if b.get("aggregate_name") == "median"}
load, bare = median["load_settings_file"], median["bare_expat"]
for name, b in (("load_settings", load), ("bare Expat", bare)):
    print(f"  {name:14} {b['real_time']:8.1f} ms  {b['bytes_per_second'] / 2**20:7.1f} MiB/s",
          file=sys.stderr)
print(f"{load['real_time'] / bare['real_time']:.3f}")
PY
)
echo "  ratio load_settings / bare Expat: $ratio (target: at most 1.5)"

echo
failed=0
if [ "$growth_kib" -lt $((16 * 1024)) ]; then
    echo "memory: met"
else
    echo "memory: MISSED"
    failed=1
fi
if python3 -c "import sys; sys.exit(0 if float('$ratio') <= 1.5 else 1)"; then
    echo "time: met"
else
    echo "time: MISSED"
    failed=1
fi
exit "$failed"
