#!/usr/bin/env bash
# Log benchmark on Linux (see docs/performance.md): a Java program writing 1 KiB lines from
# 4 threads under orvo, its logs rotated at max_size='1M', against the same without
# rotation, interleaved round by round. Target: the rotated runs' median throughput at least
# 0.97 of the plain runs'. Also reported: the slowest println of each run (what a write
# waits, rotations included) and the number of rotations.
#
#   scripts/bench-logs.sh BUILD_DIR
#
# Builds a release tree in BUILD_DIR. ORVO_BENCH_RUNS sets the rounds (default 9),
# ORVO_BENCH_LINES the lines per thread (default 100000: 400 MiB a run), ORVO_BENCH_MAX_SIZE
# the rotated runs' max_size (default 1M), ORVO_JOBS the build's parallelism. Exit status 1
# when the target is missed.
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start BUILD_DIR 1 1 "$@"
runs=${ORVO_BENCH_RUNS:-9}
lines=${ORVO_BENCH_LINES:-100000}
max_size=${ORVO_BENCH_MAX_SIZE:-1M}
java_home=${JAVA_HOME:-/usr/lib/jvm/java-17-openjdk-amd64}

bench_build orvo

work=$(mktemp -d /tmp/orvo-logs.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$java_home/bin/javac" -d "$work/classes" "$root/bench/logs/LogFlood.java"

# One run: orvo on settings with these rotation attributes, stopped once the start method
# (the writing) has returned; prints "throughput_MiB_per_s slowest_us p999_us rotations".
run() {
    local rotation=$1 folder=$work/run
    rm -rf "$folder"
    mkdir -p "$folder/logs"
    cat >"$folder/settings.xml" <<XML
<setting>
  <log stdout='$folder/logs/out.log' stderr='$folder/logs/err.log' $rotation/>
  <jvm dll_path='$java_home/lib/server/libjvm.so'>
    <option>-Djava.class.path=$work/classes</option>
    <option>-Xmx512m</option>
  </jvm>
  <server class='orvo/bench/LogFlood' start_method='start' stop_method='stop'>
    <start_method_param>4</start_method_param>
    <start_method_param>$lines</start_method_param>
    <start_method_param>1024</start_method_param>
    <start_method_param>$folder/result</start_method_param>
  </server>
</setting>
XML
    python3 "$root/scripts/notify-runner.py" --seconds 0 -- "$build/service/orvo" \
        "$folder/settings.xml" >"$folder/runner.log" 2>&1 ||
        { cat "$folder/runner.log" >&2; exit 1; }
    local rotated
    rotated=$(find "$folder/logs" -name 'out.*[0-9].log' | wc -l)
    awk -v rotated="$rotated" '{ printf "%.1f %.0f %.0f %d\n", $2 / ($1 / 1e9) / 1048576, $3 / 1e3, $4 / 1e3, rotated }' \
        "$folder/result"
}

plain=()
rotated=()
for ((round = 1; round <= runs; round++)); do
    read -r p p_slowest p_p999 _ < <(run "")
    read -r r r_slowest r_p999 r_count < <(run "max_size='$max_size'")
    printf 'round %d: plain %s MiB/s (slowest write %s us, 99.9%% %s us); rotated %s MiB/s (slowest %s us, 99.9%% %s us, %s rotations)\n' \
        "$round" "$p" "$p_slowest" "$p_p999" "$r" "$r_slowest" "$r_p999" "$r_count"
    plain+=("$p")
    rotated+=("$r")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
plain_median=$(median "${plain[@]}")
rotated_median=$(median "${rotated[@]}")
ratio=$(awk -v r="$rotated_median" -v p="$plain_median" 'BEGIN { printf "%.3f", r / p }')
echo "median: plain $plain_median MiB/s, rotated $rotated_median MiB/s, ratio $ratio (target >= 0.97)"
awk -v ratio="$ratio" 'BEGIN { exit !(ratio >= 0.97) }'
