#!/usr/bin/env bash
# Benchmark of the class path builder through orvo-check (see docs/performance.md): a
# settings file whose class path names a directory of 100,000 .jar files, against `ls -f`
# on that directory. Target: orvo-check takes at most 3 times as long as `ls -f`.
#
#   scripts/bench-class-path.sh BUILD_DIR [FILE_COUNT]    (FILE_COUNT defaults to 100000)
#
# Builds a release tree in BUILD_DIR; the directory is created in a temporary directory and
# removed afterwards. Both commands write to /dev/null. Exit status 1 when the target is
# missed.
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start "BUILD_DIR [FILE_COUNT]" 1 2 "$@"
count=${2:-100000}
runs=${ORVO_BENCH_RUNS:-11}
bench_build orvo-check
check=$build/tools/orvo_check/orvo-check

work=$(mktemp -d "${TMPDIR:-/tmp}/orvo-bench-class-path.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/lib"
(cd "$work/lib" && seq -f 'component-%06g.jar' 0 $((count - 1)) | xargs touch)
cat >"$work/settings.xml" <<XML
<?xml version='1.0' encoding='UTF-8'?>
<setting>
  <log stdout='logs/stdout.log' stderr='logs/stderr.log'/>
  <jvm dll_path='/usr/lib/jvm/default-java/lib/server/libjvm.so' class_path='$work/lib/*'>
    <option>-Xmx512m</option>
  </jvm>
  <server class='app/ServerMain' start_method='start' stop_method='stop'/>
</setting>
XML
listed=$("$check" --json "$work/settings.xml" | grep -o '\.jar;' | wc -l)
echo "Directory: $count files; orvo-check lists $listed of them"
if [ "$listed" -ne "$count" ]; then
    echo "orvo-check did not list every file" >&2
    exit 1
fi

# Median wall time in milliseconds of $runs runs of the command, after one warm-up run.
median_ms() {
    local times=() start end
    "$@" >/dev/null
    for _ in $(seq "$runs"); do
        start=$EPOCHREALTIME
        "$@" >/dev/null
        end=$EPOCHREALTIME
        times+=("$(python3 -c "print(($end - $start) * 1000)")")
    done
    printf '%s\n' "${times[@]}" | sort -g | sed -n "$(((runs + 1) / 2))p"
}

ls_ms=$(median_ms ls -f "$work/lib")
text_ms=$(median_ms "$check" "$work/settings.xml")
json_ms=$(median_ms "$check" --json "$work/settings.xml")

python3 - "$ls_ms" "$text_ms" "$json_ms" "$runs" <<'PY'
import sys
ls, text, json, runs = map(float, sys.argv[1:])
print(f"Wall time, median of {int(runs)} runs:")
print(f"  ls -f DIR                {ls:8.1f} ms")
print(f"  orvo-check FILE          {text:8.1f} ms  ({text / ls:.2f}x)")
print(f"  orvo-check --json FILE   {json:8.1f} ms  ({json / ls:.2f}x)")
worst = max(text, json) / ls
print(f"target: at most 3x; {'met' if worst <= 3 else 'MISSED'} ({worst:.2f}x)")
sys.exit(0 if worst <= 3 else 1)
PY
