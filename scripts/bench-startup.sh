#!/usr/bin/env bash
# Start-up benchmark (see docs/performance.md): orvo's whole cycle under the notify protocol
# (start, running reported, SIGTERM, stop, stopped reported, exit) against a bare C program
# that only creates the Java VM and calls the same two static methods, and against the java
# launcher running the same class's main. The three run interleaved, round by round.
# Targets: orvo's median wall time at most 1.05 times the bare host's, its median peak
# memory (ru_maxrss) at most 2 MiB above the bare host's.
#
#   scripts/bench-startup.sh BUILD_DIR
#
# Builds a release tree in BUILD_DIR with the benchmarks on. ORVO_BENCH_RUNS sets the number
# of measured runs of each (default 50: one run takes about 35 ms, and the medians of a
# shared machine need many), ORVO_JOBS the build's parallelism,
# ORVO_BENCH_JVM_OPTIONS the JVM options given to all three (default "-Xmx64m"). The work
# directory is removed afterwards unless ORVO_BENCH_KEEP=1. Exit status 1 when a target is
# missed.
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start BUILD_DIR 1 1 "$@"
runs=${ORVO_BENCH_RUNS:-50}
read -r -a jvm_options <<<"${ORVO_BENCH_JVM_OPTIONS:--Xmx64m}"

bench_build orvo orvo-bare-jni-host orvo-startup-driver orvo-startup-classes
# shellcheck source=/dev/null
. "$build/bench/startup/startup-paths.sh"
libjvm=$java_home/lib/server/libjvm.so
class=orvo/bench/TrivialServer

# The socket path must fit in sockaddr_un, so the work directory stays short.
work=$(mktemp -d /tmp/orvo-startup.XXXXXX)
if [ "${ORVO_BENCH_KEEP:-0}" = 1 ]; then
    echo "work directory: $work"
else
    trap 'rm -rf "$work"' EXIT
fi

# The same options for all three: orvo's come from its settings, the class path included
# (a plain directory item, which orvo passes on as written). orvo ends every class path
# entry with the list separator, so the JVM gets "-Djava.class.path=DIR:" from it; the
# other two are given exactly that (the launcher turns -cp into that option).
class_path_option="-Djava.class.path=$classes:"
{
    echo "<?xml version='1.0' encoding='UTF-8'?>"
    echo "<setting>"
    echo "  <log stdout='$work/a-stdout.log' stderr='$work/a-stderr.log'/>"
    echo "  <jvm dll_path='$libjvm' class_path='$classes'>"
    for option in "${jvm_options[@]}"; do
        echo "    <option>$option</option>"
    done
    echo "  </jvm>"
    echo "  <server class='$class' start_method='start' stop_method='stop'/>"
    echo "</setting>"
} >"$work/settings.xml"

# Settings that would change one of the three and not the others.
unset JAVA_TOOL_OPTIONS _JAVA_OPTIONS JDK_JAVA_OPTIONS CLASSPATH

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "Machine: $(nproc) CPUs ($cpu), $(uname -sr)"
echo "Java: $("$java_home/bin/java" -version 2>&1 | sed -n 2p)"
echo "JVM options: ${jvm_options[*]} $class_path_option"
echo "Load before: $(cut -d ' ' -f 1-3 /proc/loadavg)"
echo
"$driver" --runs "$runs" --warmup 1 --compare a b --compare c b --out "$work" \
    -- a notify "$orvo" "$work/settings.xml" \
    -- b plain "$bare_host" "$libjvm" "$class" start stop "${jvm_options[@]}" \
        "$class_path_option" \
    -- c plain "$java_home/bin/java" "${jvm_options[@]}" -cp "$classes:" \
        orvo.bench.TrivialServer \
    | tee "$work/summary.txt"
echo
echo "Load after: $(cut -d ' ' -f 1-3 /proc/loadavg)"

# Every run, warm-up included, must have called start and stop once each.
expected=$((runs + 1))
failed=0
for log in a-stdout.log b-stdout.log c-stdout.log; do
    starts=$(grep -cx start "$work/$log" || true)
    stops=$(grep -cx stop "$work/$log" || true)
    if [ "$starts" -ne "$expected" ] || [ "$stops" -ne "$expected" ]; then
        echo "$log: $starts start and $stops stop lines, $expected expected"
        failed=1
    fi
done
if [ -s "$work/a-stderr.log" ]; then
    echo "orvo's stderr log is not empty:"
    cat "$work/a-stderr.log"
    failed=1
fi

comparison=$(grep '^compare a b ' "$work/summary.txt")
ratio=$(sed 's/.* wall_ratio=\([0-9.]*\).*/\1/' <<<"$comparison")
difference=$(sed 's/.* rss_difference_kib=\(-\{0,1\}[0-9]*\).*/\1/' <<<"$comparison")
echo
if awk -v r="$ratio" 'BEGIN { exit !(r <= 1.05) }'; then
    echo "wall time: met (a/b = $ratio, target at most 1.05)"
else
    echo "wall time: MISSED (a/b = $ratio, target at most 1.05)"
    failed=1
fi
if [ "$difference" -le 2048 ]; then
    echo "peak memory: met (a - b = $difference KiB, target at most 2048 KiB)"
else
    echo "peak memory: MISSED (a - b = $difference KiB, target at most 2048 KiB)"
    failed=1
fi
exit "$failed"
