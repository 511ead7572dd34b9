#!/usr/bin/env bash
# The main job: builds orvo and the example HTTP server, then runs the server as a service,
# start to stop, on the example settings (examples/hello-server/settings.xml).
#
# Under a running systemd the service is started with systemd-run (Type=notify); elsewhere a
# small foreground runner plays the service manager over the same notify protocol. Each
# status report is shown as it arrives, a request is sent once the service runs, and the
# service is stopped on Ctrl-C or after --seconds N. Then the end of both logs is shown.
#
# usage: run-example.sh [--seconds N]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVO_BUILD_ROOT:-$root/build}/release
example=$root/examples/hello-server
run_dir=${ORVO_BUILD_ROOT:-$root/build}/example
seconds=
url=http://127.0.0.1:8080/hello

while [ $# -gt 0 ]; do
    case "$1" in
    --seconds)
        seconds=${2:?--seconds needs a number}
        shift 2
        ;;
    *)
        echo "usage: run-example.sh [--seconds N]" >&2
        exit 2
        ;;
    esac
done

step() { printf '\n=== %s\n' "$*"; }

step "Installing missing packages"
"$root/scripts/install-deps.sh" main

step "Building orvo"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVO_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target orvo orvo-check orvo_api_jar

step "Building the example server into $run_dir/lib"
mkdir -p "$run_dir/classes" "$run_dir/lib" "$run_dir/logs"
# Against orvo-api.jar, which the server need not carry: orvo defines orvo.Service itself.
javac -cp "$build/orvo-api.jar" -d "$run_dir/classes" "$example"/src/org/example/hello/*.java
jar --create --file "$run_dir/lib/hello-server.jar" -C "$run_dir/classes" .

# The settings work in their own folder (working_directory='.'): beside the jar and logs.
cp "$example/settings.xml" "$run_dir/settings.xml"
settings=$run_dir/settings.xml

step "Checking the settings (orvo-check)"
"$build/tools/orvo_check/orvo-check" "$settings"

show_logs() {
    step "End of the logs"
    for log in stdout stderr; do
        echo "--- $run_dir/logs/$log.log (last 10 lines)"
        tail -n 10 "$run_dir/logs/$log.log" 2>/dev/null || echo "(none)"
    done
}

# Prints the unit's state each time it changes, until it is `until_state` (or has failed).
# orvo's status text says which report it last sent.
watch_unit() {
    local unit=$1 until_state=$2 last= now active seen=
    for _ in $(seq 600); do
        now=$(systemctl show "$unit" --property=ActiveState,SubState,StatusText --value |
            paste -sd' ')
        if [ "$now" != "$last" ]; then
            echo "[systemd] $unit: $now"
            last=$now
        fi
        active=$(systemctl show "$unit" --property=ActiveState --value)
        case "$active" in
        "$until_state" | failed) return 0 ;;
        # A transient unit that ended is unloaded and reads as inactive again.
        inactive) [ -n "$seen" ] && return 0 ;;
        *) seen=1 ;;
        esac
        sleep 0.1
    done
    echo "[systemd] $unit did not reach $until_state in time"
}

run_under_systemd() {
    local unit=orvo-hello-example
    step "Starting the service under systemd as $unit"
    systemctl stop "$unit" 2>/dev/null || true
    systemctl reset-failed "$unit" 2>/dev/null || true
    systemd-run --no-block --unit="$unit" --property=Type=notify --property=NotifyAccess=main \
        --property=KillSignal=SIGTERM --property=TimeoutStopSec=30 \
        --working-directory="$run_dir" "$build/service/orvo" "$settings"
    watch_unit "$unit" active
    echo "[systemd] GET $url -> $(curl -sS --max-time 10 "$url" || echo failed)"
    trap 'echo' INT
    if [ -n "$seconds" ]; then
        sleep "$seconds" || true
    else
        echo "The service runs; press Ctrl-C to stop it."
        sleep infinity || true
    fi
    trap - INT
    step "Stopping the service"
    systemctl stop --no-block "$unit"
    watch_unit "$unit" inactive
    systemctl show "$unit" --property=Result,ExecMainStatus
    journalctl -u "$unit" -n 10 --no-pager 2>/dev/null || true
}

run_under_runner() {
    step "Starting the service under the foreground runner (no systemd here)"
    [ -n "$seconds" ] || echo "Press Ctrl-C to stop the service."
    local status=0
    (cd "$run_dir" && python3 "$root/scripts/notify-runner.py" ${seconds:+--seconds "$seconds"} \
        --url "$url" -- "$build/service/orvo" "$settings") || status=$?
    return "$status"
}

status=0
if [ -d /run/systemd/system ] && command -v systemd-run >/dev/null; then
    run_under_systemd || status=$?
else
    run_under_runner || status=$?
fi
show_logs
exit "$status"
