#!/bin/sh
# Runs a Windows program under Wine in a given prefix, creating the prefix first when it
# does not exist yet, and passes the program's exit status through (Wine hands on only
# its low byte).
#
#   wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
#   wine-run.sh PREFIX --init        only create the prefix
set -eu

if [ $# -lt 2 ]; then
    echo "usage: wine-run.sh PREFIX PROGRAM.exe [ARGUMENTS...] | PREFIX --init" >&2
    exit 2
fi
prefix=$1
shift

WINEPREFIX=$prefix
# Silences Wine's own diagnostics, which would mix with the program's output, unless a test
# asks for a channel in ORVO_WINEDEBUG.
WINEDEBUG=${ORVO_WINEDEBUG:--all}
# No dialogs offering to install .NET or the HTML engine: console programs need neither.
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

# Tests run in parallel: the first one to get the lock creates the prefix, the others
# wait for it and then find it complete. The mark is made only once wineboot succeeded,
# so an interrupted set-up is done again.
ready=$prefix/.orvo-ready
mkdir -p "$(dirname "$prefix")"
#
# Wine's service control manager gives a service 10 s (ServicesPipeTimeout) to connect at
# its start and to answer each control, and fails StartService or ControlService with 1053
# after that. A busy machine can take that long to start a Windows process under Wine: the
# tests' prefix gives it two minutes, which services.exe reads when it starts.
(
    flock 9
    if [ ! -f "$ready" ]; then
        wineboot --init >/dev/null 2>&1
        # wineboot returns before its server has written the registry out.
        wineserver -w
        touch "$ready"
    fi
    if [ ! -f "$ready-pipe-timeout" ]; then
        wine reg add 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout \
            /t REG_SZ /d 120000 /f >/dev/null 2>&1
        wineserver -w
        touch "$ready-pipe-timeout"
    fi
) 9>"$prefix.lock"

if [ "$1" = "--init" ]; then
    exit 0
fi
exec wine "$@"
