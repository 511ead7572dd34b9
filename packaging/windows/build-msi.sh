#!/usr/bin/env bash
# Builds orvo's Windows Installer package from an installed tree (what the zip holds) with
# Debian's msitools: wixl for the package, msibuild for what wixl 0.101 cannot write.
#
#   build-msi.sh TREE VERSION OUTPUT.msi
#
# The package installs TREE under C:\Program Files\orvo, adds its bin folder to the machine's
# PATH, and replaces any other version of orvo's package in place (a major upgrade; a newer
# one installed already refuses it). Nothing it installs is left behind by an uninstall.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "usage: build-msi.sh TREE VERSION OUTPUT.msi" >&2
    exit 2
fi
tree=$(cd "$1" && pwd)
version=$2
output=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The programs and the files at the top are written out in orvo.wxs (the PATH entry belongs
# to orvo.exe's component); every other file of the tree is listed by wixl-heat.
for file in bin/orvo.exe bin/orvo-check.exe bin/orvo-service.exe README.txt THIRD-PARTY.txt; do
    [ -f "$tree/$file" ] || { echo "build-msi.sh: $tree/$file is missing" >&2; exit 1; }
done
(cd "$tree" && find . -mindepth 2 -type f ! -path './bin/*' | sed 's|^\./||' | LC_ALL=C sort) |
    wixl-heat -p "" --directory-ref OrvoDir --component-group OrvoFiles \
        --var var.SourceDir --win64 >"$work/files.wxs"
# wixl takes the files' sources only relative to the folder it runs in.
(cd "$tree" && wixl --arch x64 -D "Version=$version" -D SourceDir=. -D Win64=yes \
    -o "$work/orvo.msi" "$here/orvo.wxs" "$work/files.wxs")

# The machine's PATH gets the bin folder in front (";[~]" keeps what is there), and loses it
# again when the component goes ("-"); "*" makes it the system's variable, not a user's.
# (A part appended at the end would do as well on Windows, but Wine leaves its separators
# behind when it takes it out.)
cat >"$work/Environment.idt" <<'IDT'
Environment	Name	Value	Component_
s72	l255	L255	s72
Environment	Environment
OrvoPath	=-*PATH	[OrvoDir]bin;[~]	orvo_exe
IDT
# wixl's major upgrade replaces only lower versions and installs the same version beside
# itself; the same version (a rebuilt package) replaces it too.
msiinfo export "$work/orvo.msi" Upgrade |
    awk -F'\t' 'BEGIN { OFS = "\t" } { sub(/\r$/, "") } NR > 3 && $7 == "WIX_UPGRADE_DETECTED" { $5 = 513 } { print }' \
        >"$work/Upgrade.idt"
(cd "$work" && msibuild orvo.msi -i Environment.idt -i Upgrade.idt \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)")
mv "$work/orvo.msi" "$output"
