#!/usr/bin/env bash
# Builds the release package of a build tree with CPack and checks what it holds. For the
# Windows zip it also checks that orvo.exe and orvo-check.exe import nothing beyond the DLLs
# of Windows itself, so that they run on a machine without any compiler's run-time, and
# that THIRD-PARTY.txt names the Expat built in and carries its licence word for word.
# usage: release_package_test.sh BUILD_DIR OBJDUMP|- EXPAT_VERSION EXPAT_LICENSE_FILE|-
set -u
build=$1
objdump=$2
expat_version=$3
expat_license=$4
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

if [[ "$package" == *.zip ]]; then
    for file in bin/orvo.exe bin/orvo-check.exe README.md examples/hello-server/settings.xml \
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
    for exe in orvo.exe orvo-check.exe; do
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
fi

[ "$failures" -eq 0 ] && echo "release package checks passed"
exit $((failures > 0))
