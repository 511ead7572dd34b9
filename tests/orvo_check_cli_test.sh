#!/usr/bin/env bash
# orvo-check as an operator runs it: exit statuses, where each message goes, the class
# path expanded relative to the current directory, and the warnings' form.
# Usage: orvo_check_cli_test.sh PATH_TO_ORVO_CHECK ORVO_VERSION EXPAT_VERSION
set -u
check=$1
orvo_version=$2
expat_version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect STATUS STDOUT_FILE_CONTENT STDERR_FILE_CONTENT -- ARGS...
expect() {
    local status=$1 want_out=$2 want_err=$3
    shift 4
    "$check" "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" -eq "$status" ] || fail "orvo-check $*: status $got, expected $status"
    [ "$(cat out.txt)" = "$want_out" ] || fail "orvo-check $*: stdout was [$(cat out.txt)]"
    [ "$(cat err.txt)" = "$want_err" ] || fail "orvo-check $*: stderr was [$(cat err.txt)]"
}

usage="usage: orvo-check [--json] [--jvm] [--strict] SETTINGS_FILE
       orvo-check --version"
expect 2 "" "$usage" --
expect 2 "" "$usage" -- --json
expect 2 "" "$usage" -- a.xml b.xml
expect 2 "" "$usage" -- --verbose a.xml
expect 2 "" "$usage" -- --json --json a.xml
expect 2 "" "$usage" -- --jvm --jvm a.xml
expect 2 "" "$usage" -- --strict --strict a.xml
expect 0 "$usage" "" -- --help
# --version names the Expat that answers at run time: here the system's, whose headers
# the build used.
expect 0 "orvo-check (orvo) $orvo_version
Expat $expat_version" "" -- --version
expect 2 "" "$usage" -- --version good.xml

mkdir lib
touch lib/a.jar
printf '<setting><jvm class_path="lib/*;extra"><option>\n-Xss1m</option></jvm></setting>' >good.xml
# Its traps are warned about on standard error (checked in the unit tests), the fields shown.
"$check" good.xml >out.txt 2>err.txt || fail "good.xml failed"
[ "$(cat out.txt)" = "stdout: 
stderr: 
dll_path: 
class_path: lib/*;extra
class_name: 
start_method: 
stop_method: 
options (2):
  [0] \\n-Xss1m
  [1] -Djava.class.path=lib/a.jar;extra;
start_method_params (0):
start_timeout: (none)
stop_timeout: (none)
working_directory: (none)
env (0):" ] || fail "good.xml printed [$(cat out.txt)]"
[ "$(grep -c '^good\.xml:[0-9]*:[0-9]*: warning: ' err.txt)" = "$(wc -l <err.txt)" ] &&
    [ -s err.txt ] || fail "good.xml warned [$(cat err.txt)]"

"$check" --json good.xml >out.txt 2>err.txt || fail "--json good.xml failed"
[ "$(head -n 18 out.txt)" = '{
  "stdout": "",
  "stderr": "",
  "dll_path": "",
  "class_path": "lib/*;extra",
  "class_name": "",
  "start_method": "",
  "stop_method": "",
  "options": [
    "\n-Xss1m",
    "-Djava.class.path=lib/a.jar;extra;"
  ],
  "start_method_params": [],
  "start_timeout": null,
  "stop_timeout": null,
  "working_directory": null,
  "env": [],
  "warnings": [' ] || fail "--json good.xml printed [$(cat out.txt)]"
[ ! -s err.txt ] || fail "--json good.xml wrote [$(cat err.txt)]"

# A file without traps is shown as before, with an empty list of warnings in JSON; one trap
# is a warning line before the fields, or an entry of that list, and makes --strict fail.
mkdir logs
quiet="<setting>
  <log stdout='$work/logs/out.log' stderr='$work/logs/err.log'/>
  <jvm dll_path='/usr/lib/jvm/libjvm.so' class_path='$work/lib/*'/>
  <server class='a/B' start_method='start' stop_method='stop'/>
</setting>"
echo "$quiet" >quiet.xml
fields="stdout: $work/logs/out.log
stderr: $work/logs/err.log
dll_path: /usr/lib/jvm/libjvm.so
class_path: $work/lib/*
class_name: a/B
start_method: start
stop_method: stop
options (1):
  [0] -Djava.class.path=$work/lib/a.jar;
start_method_params (0):
start_timeout: (none)
stop_timeout: (none)
working_directory: (none)
env (0):"
expect 0 "$fields" "" -- quiet.xml
expect 0 "$fields" "" -- --strict quiet.xml
"$check" --json quiet.xml >out.txt 2>err.txt || fail "--json quiet.xml failed"
[ "$(tail -n 6 out.txt)" = '  "start_timeout": null,
  "stop_timeout": null,
  "working_directory": null,
  "env": [],
  "warnings": []
}' ] || fail "--json quiet.xml printed [$(cat out.txt)]"
echo "$quiet" | sed 's|<log |<Log/><log |' >trap.xml
warning="trap.xml:2:2: warning: unknown element \"Log\" is ignored; did you mean \"log\"?"
expect 0 "$fields" "$warning" -- trap.xml
expect 1 "$fields" "$warning" -- --strict trap.xml
for strict in "" --strict; do
    "$check" --json $strict trap.xml >out.txt 2>err.txt
    [ $? -eq $((${#strict} > 0)) ] || fail "--json $strict trap.xml: wrong status"
    [ "$(tail -n 9 out.txt)" = '  "warnings": [
    {
      "line": 2,
      "column": 2,
      "kind": "unknown_element",
      "message": "unknown element \"Log\" is ignored; did you mean \"log\"?"
    }
  ]
}' ] && [ ! -s err.txt ] || fail "--json $strict trap.xml printed [$(cat out.txt)] [$(cat err.txt)]"
done

# The process element: a relative working directory is the settings file's folder joined
# to it, and the class path is expanded there; env values are expanded in orvo-check's own
# environment, one after the other.
mkdir -p conf/app/lib
touch conf/app/lib/b.jar
printf '<setting><jvm class_path="lib/*"/><process working_directory="app">
<env name="ORVO_A" value="a"/><env name="ORVO_B" value="${ORVO_A}-${ORVO_HOST_VALUE}-$$-${}"/>
<env name="ORVO_GONE"/></process></setting>' >conf/process.xml
ORVO_HOST_VALUE=host ORVO_GONE=x "$check" conf/process.xml >out.txt 2>err.txt ||
    fail "conf/process.xml failed: $(cat err.txt)"
[ "$(tail -n 5 out.txt)" = 'working_directory: app
env (3):
  [0] ORVO_A=a
  [1] ORVO_B=a-host-$-${} (as written: ${ORVO_A}-${ORVO_HOST_VALUE}-$$-${})
  [2] ORVO_GONE=' ] || fail "conf/process.xml printed [$(cat out.txt)]"
grep -qx '  \[0\] -Djava.class.path=lib/b.jar;' out.txt ||
    fail "conf/process.xml: the class path was not expanded in the working directory: [$(cat out.txt)]"
printf '<setting><process working_directory="no-such-folder"/></setting>' >nodir.xml
"$check" nodir.xml >out.txt 2>err.txt
[ $? -eq 1 ] && [ ! -s out.txt ] &&
    [ "$(tail -n 1 err.txt)" = 'nodir.xml: error: couldn'"'"'t change to working directory "no-such-folder": No such file or directory' ] ||
    fail "nodir.xml: [$(cat out.txt)] [$(cat err.txt)]"
"$check" --json nodir.xml >out.txt 2>err.txt
[ $? -eq 1 ] && [ "$(head -n 3 out.txt)" = '{
  "error": "working_directory",
  "message": "couldn'"'"'t change to working directory \"no-such-folder\": No such file or directory",' ] ||
    fail "--json nodir.xml: [$(cat out.txt)] [$(cat err.txt)]"
printf '<setting>\n <process>\n  <env name="A=B" value="x"/></process></setting>' >badenv.xml
"$check" badenv.xml >out.txt 2>err.txt
[ $? -eq 1 ] && [ ! -s out.txt ] &&
    [ "$(tail -n 1 err.txt)" = 'badenv.xml:3:2: error: the attribute "name" of "env" must name a variable, neither empty nor holding "=", not "A=B"' ] ||
    fail "badenv.xml: [$(cat out.txt)] [$(cat err.txt)]"

# The time limits: shown as numbers when set, and a bad one named with where it is.
printf '<setting><server start_timeout="60000" stop_timeout="2147483647"/></setting>' >limits.xml
"$check" limits.xml >out.txt 2>err.txt || fail "limits.xml failed"
[ "$(grep _timeout out.txt)" = "start_timeout: 60000
stop_timeout: 2147483647" ] || fail "limits.xml printed [$(cat out.txt)]"
"$check" --json limits.xml >out.txt 2>err.txt || fail "--json limits.xml failed"
[ "$(grep '_timeout' out.txt)" = '  "start_timeout": 60000,
  "stop_timeout": 2147483647,' ] || fail "--json limits.xml printed [$(cat out.txt)]"
# A file that does not load: the warnings found before its error come first.
printf '<setting>\n  <Log/>\n  <server stop_timeout=" 5"/>\n</setting>' >limit.xml
limit_message='the attribute "stop_timeout" of "server" must be a whole number of milliseconds from 1 to 2147483647, not " 5"'
expect 1 "" "limit.xml:2:2: warning: unknown element \"Log\" is ignored; did you mean \"log\"?
limit.xml:3:2: error: $limit_message" -- limit.xml
expect 1 '{
  "error": "load",
  "message": "the attribute \"stop_timeout\" of \"server\" must be a whole number of milliseconds from 1 to 2147483647, not \" 5\"",
  "line": 3,
  "column": 2,
  "warnings": [
    {
      "line": 2,
      "column": 2,
      "kind": "unknown_element",
      "message": "unknown element \"Log\" is ignored; did you mean \"log\"?"
    }
  ]
}' "" -- --json limit.xml

printf '<setting>\n  <log stdout="a" stdout="b"/>\n</setting>' >dup.xml
expect 1 "" "dup.xml:2:18: error: duplicate attribute" -- dup.xml
expect 1 '{
  "error": "syntax",
  "error_code": 8,
  "byte_index": 28,
  "line": 2,
  "column": 18,
  "message": "duplicate attribute",
  "warnings": []
}' "" -- --json dup.xml

printf '<settings/>' >root.xml
expect 1 "" 'root.xml: error: only "setting" could exist at root' -- root.xml
# With --jvm too, a file that does not load is reported as with --json alone.
for jvm in "" --jvm; do
    expect 1 '{
  "error": "load",
  "message": "only \"setting\" could exist at root",
  "warnings": []
}' "" -- --json $jvm root.xml
done

# A path that names no readable file says what it names, with the system's reason.
mkdir adir
mkfifo pipe.xml
expect 1 "" "missing.xml: error: couldn't load settings file \"missing.xml\": No such file or directory." -- missing.xml
expect 1 "" "adir: error: couldn't load settings file \"adir\": Is a directory." -- adir
expect 1 "" "pipe.xml: error: couldn't load settings file \"pipe.xml\": it is a named pipe, which is not waited on." -- pipe.xml
expect 1 '{
  "error": "file",
  "message": "couldn'"'"'t load settings file \"adir\": Is a directory.",
  "warnings": []
}' "" -- --json adir
if [ "$(id -u)" -ne 0 ]; then
    printf '<setting/>' >secret.xml
    chmod 000 secret.xml
    expect 1 "" "secret.xml: error: couldn't load settings file \"secret.xml\": Permission denied." -- secret.xml
fi

[ "$failures" -eq 0 ] && echo "all orvo-check checks passed"
exit $((failures > 0))
