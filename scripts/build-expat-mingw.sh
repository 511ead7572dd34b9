#!/usr/bin/env bash
# Builds Expat for the Windows cross build as a static library, from the newest Debian
# expat source package that the archive serves (apt-get source unpacks it with Debian's
# patches applied; the bare upstream tarball lacks them).
#
#   build-expat-mingw.sh WORK_DIR
#
# The source is fetched through a private apt configuration under WORK_DIR/apt: its own
# sources lists, index lists, cache and state, trusting only the Debian archive's keyring.
# apt checks the signed index and every file's checksum against it, as for any package;
# the machine's own apt configuration is read for its mirror and left unchanged.
#
# Installs into WORK_DIR/install: include/expat.h, lib/libexpat.a, Expat's licence in
# share/doc/expat/COPYING, orvo-expat-source ("DEBIAN_VERSION SUITE") and, when only
# bookworm's source could be had, orvo-expat-warning. Builds again only when the source
# chosen differs from the one installed.
# Needs apt, dpkg-dev and debian-archive-keyring (scripts/install-deps.sh sees to them).
set -euo pipefail

. "$(dirname "$0")/common.sh"
script_start WORK_DIR 1 1 "$@"
work=$build
prefix=$work/install
record=$prefix/orvo-expat-source
apt_dir=$work/apt
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# Where to look, in order. The current stable release with its updates first; then
# testing, which carries newer releases when stable's files are not served; bookworm's
# only as a last resort, as it lacks the later security fixes.
stable_suites=(trixie trixie-updates trixie-security)
testing_suites=(forky)
fallback_suites=(bookworm bookworm-updates bookworm-security)

if [ ! -r "$keyring" ]; then
    echo "build-expat-mingw.sh: $keyring missing (package debian-archive-keyring)" >&2
    exit 1
fi

# The mirror this machine's apt uses for the archive and for its security updates, as apt
# itself resolves its sources (both formats); Debian's own hosts when none is configured.
archive_uri=http://deb.debian.org/debian
security_uri=http://deb.debian.org/debian-security
while read -r uri suite; do
    case "$suite" in
    *-security) security_uri=$uri ;;
    *-updates | *-backports | *-proposed-updates) ;;
    *) archive_uri=$uri ;;
    esac
done < <(apt-get update --print-uris 2>/dev/null |
    sed -n "s|^'\(.*\)/dists/\([^/]*\)/InRelease'.*|\1 \2|p" |
    grep -E ' (bookworm|trixie|stable|oldstable)(-[a-z-]+)?$' || true)

# One sources list per suite (to fetch a version from a chosen suite) and one with all of
# them (to update every index at once).
mkdir -p "$apt_dir"/etc/sources.list.d "$apt_dir"/etc/preferences.d \
    "$apt_dir"/etc/trusted.gpg.d "$apt_dir"/state/lists/partial "$apt_dir"/cache/archives/partial
: >"$apt_dir/state/status"
all_suites=("${stable_suites[@]}" "${testing_suites[@]}" "${fallback_suites[@]}")
for suite in "${all_suites[@]}"; do
    uri=$archive_uri
    [[ "$suite" == *-security ]] && uri=$security_uri
    echo "deb-src [signed-by=$keyring] $uri $suite main" >"$apt_dir/etc/sources-$suite.list"
done
for suite in "${all_suites[@]}"; do cat "$apt_dir/etc/sources-$suite.list"; done \
    >"$apt_dir/etc/sources.list"

# apt with nothing of the machine's sources, lists, cache or trust; settings such as a proxy
# still come from the machine's apt.conf. No unsigned or unverified index is accepted,
# whatever the machine's configuration says.
private_apt() {
    local program=$1 list=$2
    shift 2
    "$program" -o Dir::Etc="$apt_dir/etc" -o Dir::Etc::sourcelist="$list" \
        -o Dir::State="$apt_dir/state" -o Dir::State::status="$apt_dir/state/status" \
        -o Dir::Cache="$apt_dir/cache" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= \
        -o Acquire::AllowInsecureRepositories=false \
        -o Acquire::AllowDowngradeToInsecureRepositories=false \
        -o APT::Get::AllowUnauthenticated=false "$@"
}

echo "Updating the expat source indexes ($archive_uri, $security_uri)"
# A suite that cannot be reached or verified leaves no usable index behind; the others
# still count.
private_apt apt-get sources.list update -q ||
    echo "build-expat-mingw.sh: not every suite could be updated; using those that were" >&2

# "VERSION SUITE" for each expat source that a group of suites lists, newest first. Expat's
# versions carry no epoch, which sort -V would not know.
candidates() {
    local suite
    for suite in "$@"; do
        private_apt apt-cache "sources-$suite.list" showsrc expat 2>/dev/null |
            awk -v suite="$suite" '/^Package: /{p = ($2 == "expat")} p && /^Version: /{print $2, suite}'
    done | sort -u | sort -r -V -k1,1
}

# Fetches the first source of a group that the mirror serves (a mirror may list a version
# whose files it does not hold). apt verifies each file against the signed index.
download=$work/source
# Run as root, apt hands a download to its unprivileged user, which cannot write to the
# build tree, and falls back to root with a warning; root is asked for from the start.
sandbox=()
[ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
version=
suite=
fetch_newest() {
    local candidate_version candidate_suite
    while read -r candidate_version candidate_suite; do
        if (cd "$download" && private_apt apt-get "sources-$candidate_suite.list" \
            "${sandbox[@]}" source -q --download-only "expat=$candidate_version"); then
            version=$candidate_version
            suite=$candidate_suite
            return 0
        fi
        echo "build-expat-mingw.sh: expat $candidate_version from $candidate_suite could" \
            "not be fetched" >&2
    done < <(candidates "$@")
    return 1
}

# Also kept in the install, for scripts/test-windows.sh to repeat after the build's output.
loud_warning() {
    {
        echo "########################################################################"
        echo "WARNING: the Windows build links Expat $version from $suite, an old release"
        echo "WARNING: without the later security fixes: no newer source could be fetched"
        echo "WARNING: (tried ${stable_suites[*]} ${testing_suites[*]})."
        echo "########################################################################"
    } | tee "$prefix/orvo-expat-warning" >&2
}

mkdir -p "$download"
fallback=0
if fetch_newest "${stable_suites[@]}"; then
    :
elif fetch_newest "${testing_suites[@]}"; then
    echo "build-expat-mingw.sh: note: Expat $version comes from $suite (Debian testing):" \
        "no source of ${stable_suites[0]}'s could be fetched" >&2
elif fetch_newest "${fallback_suites[@]}"; then
    fallback=1 # said loudly below, after the build's own output
else
    echo "build-expat-mingw.sh: no expat source package could be fetched" >&2
    exit 1
fi

if [ -f "$prefix/lib/libexpat.a" ] && [ -f "$prefix/include/expat.h" ] &&
    [ -f "$prefix/share/doc/expat/COPYING" ] && [ -f "$record" ] &&
    [ "$(cut -d' ' -f1 "$record")" = "$version" ]; then
    echo "Expat $version (from $suite) for MinGW already built in $prefix"
    [ "$fallback" -eq 0 ] || loud_warning
    exit 0
fi

# Unpacked afresh each time; apt finds the files it just fetched and checks them again.
find "$download" -mindepth 1 -maxdepth 1 -type d -exec rm -rf {} +
(cd "$download" && private_apt apt-get "sources-$suite.list" "${sandbox[@]}" source -q "expat=$version")
source_dir=$(find "$download" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -n 1)
# The Debian package keeps the CMake project one level down.
if [ -f "$source_dir/expat/CMakeLists.txt" ]; then
    source_dir=$source_dir/expat
fi

# bookworm's package is built with autotools, whose config header defines XML_DTD as 1, and
# one of its security patches tests "#if XML_DTD == 1". Expat's CMake header defines it
# empty, so it is given the value the patch expects (XML_NS alike, for the same header).
# Later releases test these with #ifdef, which either definition satisfies.
sed -i -e 's/^#cmakedefine XML_DTD$/#cmakedefine XML_DTD 1/' \
    -e 's/^#cmakedefine XML_NS$/#cmakedefine XML_NS 1/' "$source_dir/expat_config.h.cmake"

rm -rf "$work/build" "$prefix"
cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF \
    -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_DOCS=OFF \
    -DEXPAT_BUILD_FUZZERS=OFF \
    -DEXPAT_BUILD_PKGCONFIG=OFF
cmake --build "$work/build" -j 2
cmake --install "$work/build"
# The licence travels with every binary that contains the library.
install -D -m 644 "$source_dir/COPYING" "$prefix/share/doc/expat/COPYING"
echo "$version $suite" >"$record"
echo "Expat $version (from $suite) for MinGW installed in $prefix"
[ "$fallback" -eq 0 ] || loud_warning
