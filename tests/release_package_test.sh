#!/usr/bin/env bash
# Builds the release packages of a build tree with CPack and checks what they hold. For the
# Windows zip it also checks that its programs carry no debug information and import nothing
# beyond the DLLs of Windows itself, so that they run on a machine without any compiler's
# run-time, and that THIRD-PARTY.txt names the Expat built in and carries its licence word
# for word. On Linux it checks the Debian package as well (check_deb below); HARDENED says
# whether the build is one whose programs must carry all of Debian's hardening (an
# optimised build without sanitizers: "hardened", else "-").
# usage: release_package_test.sh BUILD_DIR OBJDUMP|- EXPAT_VERSION EXPAT_LICENSE_FILE|- HARDENED
set -u
build=$1
objdump=$2
expat_version=$3
expat_license=$4
hardened=${5:--}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/out/orvo-*.zip "$work"/out/orvo-*.tar.gz 2>/dev/null | head -n 1)
[ -n "$package" ] || { echo "FAIL: no package made"; exit 1; }
echo "package: $(basename "$package")"
mkdir "$work/unpacked"
case "$package" in
*.zip) (cd "$work/unpacked" && unzip -q "$package") ;;
*) tar -xzf "$package" -C "$work/unpacked" ;;
esac
top=$(ls -d "$work"/unpacked/*/ | head -n 1)

expect_file() {
    [ -f "$top/$1" ] || fail "the package lacks $1"
}

# The Debian package: its control fields and files, lintian's verdict, systemd's reading of
# an instance of the unit, the example instance against the packaged jar and the real JVM,
# and a rotation by the logrotate file. Installing it is left to a real system.
check_deb() {
    local deb root unit field
    deb=$(ls "$work"/out/orvo_*_amd64.deb 2>/dev/null | head -n 1)
    [ -n "$deb" ] || { fail "no Debian package made"; return; }
    echo "Debian package: $(basename "$deb")"
    [ "$(basename "$deb")" = "orvo_$(dpkg-deb -f "$deb" Version)_amd64.deb" ] ||
        fail "the package's name does not carry its version"
    for field in 'Package: orvo' 'Architecture: amd64' 'Depends: .*adduser' \
        'Depends: .*libc6 ' 'Depends: .*libexpat1 ' 'Depends: .*libstdc\+\+6 ' \
        'Recommends: .*java-runtime-headless' 'Recommends: .*logrotate'; do
        dpkg-deb -f "$deb" | grep -Eq "^$field" || fail "control lacks '$field'"
    done
    dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/logrotate.d/orvo ||
        fail "the logrotate file is not a conffile"
    # A user or group deleted on purge frees its id for the next one created, which then
    # reads what the operator gave orvo (settings holding secrets as root:orvo).
    dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./postrm | grep -v '^\s*#' |
        grep -Eq '\<(deluser|delgroup|userdel|groupdel)\>' && fail "postrm deletes the user orvo"

    root=$work/deb-root
    dpkg-deb -x "$deb" "$root"
    for file in usr/bin/orvo usr/bin/orvo-check lib/systemd/system/orvo@.service \
        etc/logrotate.d/orvo usr/share/doc/orvo/copyright usr/share/doc/orvo/changelog.Debian.gz \
        usr/share/doc/orvo/linux.md usr/share/man/man1/orvo.1.gz usr/share/man/man1/orvo-check.1.gz \
        usr/share/orvo/examples/hello-server/hello.xml \
        usr/share/orvo/examples/hello-server/lib/hello-server.jar; do
        [ -f "$root/$file" ] || fail "the Debian package lacks /$file"
    done
    [ -d "$root/etc/orvo" ] || fail "the Debian package lacks /etc/orvo"
    [ ! -e "$root/usr/share/orvo/orvo.service" ] || fail "the tarball's unit is in the Debian package"

    unit=$root/lib/systemd/system/orvo@.service
    for line in 'Type=notify' 'NotifyAccess=main' 'ExecStart=/usr/bin/orvo /etc/orvo/%i.xml' \
        'User=orvo' 'StateDirectory=orvo/%i' 'LogsDirectory=orvo/%i' \
        'WorkingDirectory=/var/lib/orvo/%i' 'KillSignal=SIGTERM' 'Restart=on-failure'; do
        grep -qxF "$line" "$unit" || fail "orvo@.service lacks $line"
    done
    # The JIT writes the code it runs; only the main process handling SIGTERM stops Java.
    grep -Eq '^(MemoryDenyWriteExecute|KillMode)=' "$unit" && fail "orvo@.service breaks the JVM"

    # Warnings count too: each one left is justified by an override in the package. Of the
    # informational tags, those of programs built without Debian's hardening or not
    # stripped as Debian strips them count as well (fortification needs an optimised
    # build without sanitizers).
    if lintian -I --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1; then
        echo "lintian: no errors or warnings"
    else
        fail "lintian: $(cat "$work/lintian.log")"
    fi
    local tags='hardening-no-(relro|bindnow)|binary-has-unneeded-section|unstripped-binary' found
    [ "$hardened" = hardened ] && tags="$tags|hardening-no-fortify-functions"
    found=$(grep -E "^I: orvo: ($tags) " "$work/lintian.log")
    [ -z "$found" ] || fail "lintian: $found"

    # systemd reads an instance within the package's tree, with its own units beside it, so
    # that ExecStart= and the manual pages of Documentation= are looked up there. It warns
    # about what it ignores and still succeeds: any output is a fault.
    cp -a /lib/systemd/system/. "$root/lib/systemd/system/"
    cp "$unit" "$root/lib/systemd/system/orvo@example.service"
    local verify_out
    verify_out=$(MANPATH=$root/usr/share/man systemd-analyze --root="$root" verify \
        "$root/lib/systemd/system/orvo@example.service" 2>&1)
    [ $? -eq 0 ] && [ -z "$verify_out" ] || fail "systemd-analyze verify: $verify_out"

    # The example instance finds its class and methods in the packaged jar.
    sed "s|/usr/share/orvo/|$root/usr/share/orvo/|" \
        "$root/usr/share/orvo/examples/hello-server/hello.xml" >"$work/hello.xml"
    "$root/usr/bin/orvo-check" --jvm "$work/hello.xml" >"$work/check.log" 2>&1 ||
        fail "orvo-check --jvm on the example instance: $(cat "$work/check.log")"

    check_rotation "$root/etc/logrotate.d/orvo"
}

# Rotates two instances' logs with the package's logrotate file, moved to a directory of
# the test's own, and a stand-in systemctl: each log is renamed, none is created again (the
# instances do that on SIGUSR1), and the signal is asked for once for all instances.
check_rotation() {
    local logs=$work/log-orvo bin=$work/bin instance log
    # Rotating as root in folders the service's user owns would let that user redirect it.
    grep -Eq '^\s+su orvo orvo$' "$1" || fail "the logrotate file rotates as root"
    mkdir -p "$logs/a" "$logs/b" "$bin" "$work/systemd-running"
    printf '#!/bin/sh\necho "$*" >>%s\n' "$work/systemctl.calls" >"$bin/systemctl"
    chmod 755 "$bin/systemctl"
    sed -e "s|/var/log/orvo/|$logs/|" -e "s|/run/systemd/system|$work/systemd-running|" \
        -e "s|systemctl |$bin/systemctl |" -e "s|su orvo orvo|su $(id -un) $(id -gn)|" \
        "$1" >"$work/logrotate.conf"
    for instance in a b; do
        for log in stdout stderr; do echo "$instance $log" >"$logs/$instance/$log.log"; done
    done
    # What an instance's own rotation left, its oldest deleted by it alone.
    echo "rotated by orvo" >"$logs/a/stdout.20240131-235959.042.log"
    logrotate -f -s "$work/logrotate.state" "$work/logrotate.conf" >"$work/logrotate.log" 2>&1 ||
        fail "logrotate: $(cat "$work/logrotate.log")"
    for instance in a b; do
        for log in stdout stderr; do
            [ "$(cat "$logs/$instance/$log.log.1" 2>/dev/null)" = "$instance $log" ] ||
                fail "logrotate did not rename $instance/$log.log"
            [ ! -e "$logs/$instance/$log.log" ] || fail "logrotate created $instance/$log.log"
        done
    done
    [ "$(cat "$logs/a/stdout.20240131-235959.042.log" 2>/dev/null)" = "rotated by orvo" ] &&
        [ ! -e "$logs/a/stdout.20240131-235959.042.log.1" ] ||
        fail "logrotate rotated a file that orvo rotated itself"
    [ "$(cat "$work/systemctl.calls" 2>/dev/null)" = \
        "kill --kill-whom=main --signal=USR1 orvo@*.service" ] ||
        fail "logrotate's signal request: '$(cat "$work/systemctl.calls" 2>/dev/null)'"
}

if [[ "$package" == *.zip ]]; then
    for file in bin/orvo.exe bin/orvo-check.exe bin/orvo-service.exe README.md \
        examples/hello-server/settings.xml \
        examples/hello-server/src/org/example/hello/HelloServer.java; do
        expect_file "$file"
    done
    expect_file docs/settings.md
    notices=$top/THIRD-PARTY.txt
    expect_file THIRD-PARTY.txt
    grep -qs "^Expat $expat_version\( \|\$\)" "$notices" ||
        fail "THIRD-PARTY.txt does not name Expat $expat_version"
    if [ "$expat_license" = - ] || [ ! -s "$expat_license" ]; then
        fail "no Expat licence file to compare with"
    elif [[ "$(cat "$notices" 2>/dev/null)" != *"$(cat "$expat_license")"* ]]; then
        fail "THIRD-PARTY.txt lacks Expat's licence text"
    fi
    # The DLLs every Windows installation has; anything else (libstdc++, libgcc,
    # libwinpthread) would have to travel with the program.
    allowed='^(kernel32|advapi32|msvcrt|user32|ws2_32|shell32|ole32|api-ms-win-.*)\.dll$'
    for exe in orvo.exe orvo-check.exe orvo-service.exe; do
        # Shipped stripped: the debug information would be most of the file.
        "$objdump" -h "$top/bin/$exe" | grep -q '[[:space:]]\.debug_' &&
            fail "$exe carries debug information"
        imports=$("$objdump" -p "$top/bin/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
        [ -n "$imports" ] || fail "$exe: no imports read"
        for dll in $imports; do
            lower=$(echo "$dll" | tr '[:upper:]' '[:lower:]')
            [[ "$lower" =~ $allowed ]] || fail "$exe imports $dll"
        done
        echo "$exe imports: $(echo $imports)"
    done
else
    for file in bin/orvo bin/orvo-check share/orvo/orvo.service share/doc/orvo/README.md; do
        expect_file "$file"
    done
    ls "$top"/share/doc/*/settings.md >/dev/null 2>&1 || fail "the package lacks the documentation"
    grep -qs "^Expat $expat_version\$" "$top"/share/doc/*/THIRD-PARTY.txt ||
        fail "THIRD-PARTY.txt missing or without the system's Expat $expat_version"
    grep -q '^Type=notify$' "$top/share/orvo/orvo.service" || fail "unit file is not Type=notify"
    check_deb
fi

[ "$failures" -eq 0 ] && echo "release package checks passed"
exit $((failures > 0))
