#!/usr/bin/env bash
# Builds the release packages of a build tree with CPack and checks what they hold. For the
# Windows zip it also checks that its programs carry no debug information and import nothing
# beyond the DLLs of Windows itself, so that they run on a machine without any compiler's
# run-time, and that THIRD-PARTY.txt names the Expat built in and carries its licence word
# for word; the installer package is installed, upgraded and removed under Wine (check_msi
# below). On Linux it checks the Debian package as well (check_deb below); HARDENED says
# whether the build is one whose programs must carry all of Debian's hardening (an
# optimised build without sanitizers: "hardened", else "-").
# usage: release_package_test.sh BUILD_DIR OBJDUMP|- EXPAT_VERSION EXPAT_LICENSE_FILE|- HARDENED
set -u
build=$1
source=$(cd "$(dirname "$0")/.." && pwd)
objdump=$2
expat_version=$3
expat_license=$4
hardened=${5:--}
work=$(mktemp -d)
# The Wine prefix of check_msi is the test's own: its server goes with it.
trap '[ ! -d "$work/wine" ] || WINEPREFIX=$work/wine wineserver -k; rm -rf "$work"' EXIT
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

# orvo-api.jar holds orvo.Service alone, compiled for Java 8 (class file version 52), the
# oldest Java that orvo may be given. On Linux it is a link to the jar named with the
# version, as Debian's Java policy names jars.
check_linked_api_jar() {
    [ "$(readlink "$1")" = "orvo-api-$2.jar" ] || fail "$3 is no link to orvo-api-$2.jar"
    check_api_jar "$1" "$3"
}
check_api_jar() {
    local classes version
    [ -f "$1" ] || { fail "the package lacks $2"; return; }
    classes=$(unzip -Z1 "$1" | grep '\.class$')
    [ "$classes" = orvo/Service.class ] || fail "$2 holds $(echo $classes), not orvo/Service.class"
    version=$(unzip -p "$1" orvo/Service.class | od -An -j6 -N2 -tu1 | tr -s ' ')
    [ "$version" = " 0 52" ] || fail "$2's class file version is$version, not 52 (Java 8)"
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
    check_linked_api_jar "$root/usr/share/java/orvo-api.jar" "$(dpkg-deb -f "$deb" Version | cut -d- -f1)" \
        /usr/share/java/orvo-api.jar
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

# The installer package, under Wine's msiexec in a prefix of the test's own: a silent
# install of a lower version (built here from the zip's files, its orvo.exe marked so that
# its replacement shows), the files and the machine's PATH; an upgrade in place while a
# service runs the installed orvo.exe (Wine has no restart manager: the file in use is
# replaced at the next start of the system, which wineboot -r plays); a downgrade refused;
# the uninstall, after which nothing of the package is left but the service stays. The
# service runs on the stand-in Java VM of the tests (ORVO_RECORDING_JVM, ORVO_STANDIN_JVM).
check_msi() {
    local msi version new old_tree files prefix installed path_key path_before status
    msi=$(ls "$work"/out/orvo-*.msi 2>/dev/null | head -n 1)
    [ -n "$msi" ] || { fail "no installer package made"; return; }
    echo "installer package: $(basename "$msi")"
    version=$(msiinfo export "$msi" Property | tr -d '\r' | sed -n 's/^ProductVersion\t//p')
    [ "$(basename "$msi")" = "orvo-$version-windows-x64.msi" ] ||
        fail "the installer's name does not carry its version $version"
    msiinfo export "$msi" Environment | tr -d '\r' |
        grep -qP '^\S+\t=-\*PATH\t\[OrvoDir\]bin;\[~\]\torvo_exe$' ||
        fail "the installer adds no bin folder to the machine's PATH"

    # The package holds the zip's files (as stripped for it: their time stamps differ).
    msiextract -C "$work/msi-files" "$msi" >/dev/null || fail "msiextract $msi"
    new=$work/msi-files/orvo
    [ "$(cd "$new" && find . -type f | LC_ALL=C sort)" = "$(cd "$top" && find . -type f | LC_ALL=C sort)" ] ||
        fail "the installer's files are not the zip's"
    [ -n "${ORVO_RECORDING_JVM:-}" ] && [ -n "${ORVO_STANDIN_JVM:-}" ] ||
        { fail "ORVO_RECORDING_JVM and ORVO_STANDIN_JVM name no stand-in Java VM"; return; }

    old_tree=$work/old-tree
    cp -r "$top" "$old_tree"
    printf 'older' >>"$old_tree/bin/orvo.exe"
    bash "$source/packaging/windows/build-msi.sh" "$old_tree" 0.0.1 "$work/old.msi" ||
        { fail "no installer package of a lower version"; return; }

    prefix=$work/wine
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    sh "$source/cmake/wine-run.sh" "$prefix" --init
    # A service outlives the commands that started it only while the server stays.
    wineserver -p
    installed=$prefix/drive_c/Program\ Files/orvo
    path_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
    path_before=$(wine reg query "$path_key" /v PATH | tr -d '\r' | grep PATH)
    # Wine hands on only the low byte of an exit code: 3010 (a restart needed) is 194.
    msiexec() {
        wine msiexec "$@" /qn
        status=$?
    }
    registered() {
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
            tr -d '\r' | sed -n 's/^ *DisplayVersion *REG_SZ *//p'
    }

    msiexec /i "$(winepath -w "$work/old.msi")"
    [ "$status" -eq 0 ] || fail "msiexec /i (0.0.1): $status"
    for files in bin/orvo.exe bin/orvo-check.exe bin/orvo-service.exe README.txt \
        THIRD-PARTY.txt docs/windows.md lib/orvo-api.jar examples/hello-server/settings.xml; do
        [ -f "$installed/$files" ] || fail "the installer did not install $files"
    done
    wine reg query "$path_key" /v PATH | grep -qF 'C:\Program Files\orvo\bin;' ||
        fail "the machine's PATH lacks C:\Program Files\orvo\bin"
    [ "$(registered)" = 0.0.1 ] || fail "registered: '$(registered)', not 0.0.1"

    mkdir "$work/svc"
    cat >"$work/svc/settings.xml" <<XML
<setting>
  <log stdout='$(winepath -w "$work/svc/out.log")' stderr='$(winepath -w "$work/svc/err.log")'/>
  <jvm dll_path='$(winepath -w "$ORVO_RECORDING_JVM")'>
    <option>-Drecording.standin=$(winepath -w "$ORVO_STANDIN_JVM")</option>
    <option>-Drecording.file=$(winepath -w "$work/svc/record.txt")</option>
    <option>-Dstandin.class=orvotest/Probe</option>
    <option>-Dstandin.method=orvotest/Probe.start([Ljava/lang/String;)V</option>
    <option>-Dstandin.method=orvotest/Probe.stop()V</option>
  </jvm>
  <server class='orvotest/Probe' start_method='start' stop_method='stop'/>
</setting>
XML
    wine 'C:\Program Files\orvo\bin\orvo-service.exe' install probe \
        "$(winepath -w "$work/svc/settings.xml")" --start manual >"$work/svc/install.log" 2>&1 ||
        fail "orvo-service from the package: $(cat "$work/svc/install.log")"
    wine sc start probe >/dev/null
    service_state() { wine sc query probe | tr -d '\r' | sed -n 's/^ *STATE *: [0-9] *//p'; }
    # Waits while the service's state is $1; a guard against a hang, not a time limit.
    wait_while_state() {
        local tries=0
        while [ "$(service_state)" = "$1" ] && [ $((tries += 1)) -lt 1000 ]; do :; done
    }
    wait_while_state START_PENDING
    [ "$(service_state)" = RUNNING ] || fail "the service on the package's orvo.exe: $(service_state)"

    msiexec /i "$(winepath -w "$msi")"
    [ "$status" -eq 0 ] || [ "$status" -eq 194 ] || fail "msiexec /i (upgrade): $status"
    [ "$(registered)" = "$version" ] || fail "registered after the upgrade: '$(registered)'"
    [ "$(service_state)" = RUNNING ] || fail "the upgrade stopped the service: $(service_state)"
    if cmp -s "$installed/bin/orvo.exe" "$new/bin/orvo.exe"; then
        echo "upgrade: orvo.exe replaced at once"
    else
        wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' \
            /v PendingFileRenameOperations | grep -qF 'orvo\bin\orvo.exe' ||
            fail "orvo.exe in use is neither replaced nor to be replaced at the next start"
        wine sc stop probe >/dev/null
        wait_while_state STOP_PENDING
        wineboot -r >/dev/null 2>&1
        cmp -s "$installed/bin/orvo.exe" "$new/bin/orvo.exe" ||
            fail "orvo.exe is not replaced at the next start of the system"
        echo "upgrade: orvo.exe, in use, replaced at the next start of the system"
    fi
    for files in bin/orvo-check.exe bin/orvo-service.exe; do
        cmp -s "$installed/$files" "$new/$files" || fail "the upgrade left the old $files"
    done
    [ "$(wine reg query "$path_key" /v PATH | grep -o 'orvo\\bin' | wc -l)" -eq 1 ] ||
        fail "the upgrade left the PATH with other than one entry of orvo's"

    msiexec /i "$(winepath -w "$work/old.msi")"
    [ "$status" -ne 0 ] || fail "a downgrade to 0.0.1 was installed"
    [ "$(registered)" = "$version" ] || fail "registered after a downgrade: '$(registered)'"

    wine sc stop probe >/dev/null
    wait_while_state STOP_PENDING
    msiexec /x "$(winepath -w "$msi")"
    [ "$status" -eq 0 ] || fail "msiexec /x: $status"
    [ ! -e "$installed" ] || fail "the uninstall left $(find "$installed" | head -n 3)"
    [ "$(wine reg query "$path_key" /v PATH | tr -d '\r' | grep PATH)" = "$path_before" ] ||
        fail "the uninstall left the PATH as $(wine reg query "$path_key" /v PATH)"
    [ -z "$(registered)" ] || fail "still registered after the uninstall: $(registered)"
    [ "$(service_state)" = STOPPED ] || fail "the uninstall took the service"
    [ -f "$work/svc/settings.xml" ] && [ -f "$work/svc/out.log" ] ||
        fail "the uninstall took the service's settings or log"
    unset -f msiexec
    wineserver -k
}

if [[ "$package" == *.zip ]]; then
    for file in bin/orvo.exe bin/orvo-check.exe bin/orvo-service.exe README.txt \
        examples/hello-server/settings.xml \
        examples/hello-server/src/org/example/hello/HelloServer.java; do
        expect_file "$file"
    done
    check_api_jar "$top/lib/orvo-api.jar" lib/orvo-api.jar
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
    grep -q '^orvo for Windows' "$top/README.txt" || fail "README.txt is not the one for Windows"
    grep -q 'apt\|Debian' "$top/README.txt" && fail "README.txt speaks of Debian"
    check_msi
else
    for file in bin/orvo bin/orvo-check share/orvo/orvo.service share/doc/orvo/README.md; do
        expect_file "$file"
    done
    check_linked_api_jar "$top/share/java/orvo-api.jar" \
        "$(basename "$package" | sed 's/^orvo-\(.*\)-linux-.*/\1/')" share/java/orvo-api.jar
    ls "$top"/share/doc/*/settings.md >/dev/null 2>&1 || fail "the package lacks the documentation"
    grep -qs "^Expat $expat_version\$" "$top"/share/doc/*/THIRD-PARTY.txt ||
        fail "THIRD-PARTY.txt missing or without the system's Expat $expat_version"
    grep -q '^Type=notify$' "$top/share/orvo/orvo.service" || fail "unit file is not Type=notify"
    check_deb
fi

[ "$failures" -eq 0 ] && echo "release package checks passed"
exit $((failures > 0))
