#!/usr/bin/env bash
# Builds Expat for the Windows cross build as a static library, from Debian's expat source
# package (apt-get source unpacks it with Debian's patches applied; the bare upstream
# tarball lacks them).
#
#   build-expat-mingw.sh WORK_DIR
#
# Unpacks and builds under WORK_DIR and installs into WORK_DIR/install (include/expat.h,
# lib/libexpat.a). Does nothing when that install exists, built from a source version
# that apt still lists.
# Needs a deb-src entry and dpkg-dev (scripts/install-deps.sh sees to both).
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: build-expat-mingw.sh WORK_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
work=$(cd "$1" && pwd)
prefix=$work/install
stamp=$prefix/orvo-expat-version

# The source versions apt knows, newest first. The newest is tried first; an older one
# only when a mirror lists a version whose files it does not serve.
mapfile -t versions < <(apt-cache showsrc expat 2>/dev/null | sed -n 's/^Version: //p' |
    sort -u | sort -r -V)
if [ ${#versions[@]} -eq 0 ]; then
    echo "build-expat-mingw.sh: apt knows no expat source package (deb-src entry missing," \
        "or apt-get update not run)" >&2
    exit 1
fi

if [ -f "$prefix/lib/libexpat.a" ] && [ -f "$prefix/include/expat.h" ] && [ -f "$stamp" ] &&
    printf '%s\n' "${versions[@]}" | grep -qxF "$(cat "$stamp")"; then
    echo "Expat $(cat "$stamp") for MinGW already built in $prefix"
    exit 0
fi

download=$work/source
version=
for candidate in "${versions[@]}"; do
    rm -rf "$download"
    mkdir -p "$download"
    # Run as the current user in the work directory: the download itself needs no root.
    if (cd "$download" && apt-get source -q "expat=$candidate"); then
        version=$candidate
        break
    fi
    echo "build-expat-mingw.sh: expat $candidate could not be fetched, trying an older one" >&2
done
if [ -z "$version" ]; then
    echo "build-expat-mingw.sh: no expat source package could be fetched" >&2
    exit 1
fi

source_dir=$(find "$download" -mindepth 1 -maxdepth 1 -type d -name 'expat-*' | head -n 1)
# The Debian package keeps the CMake project one level down.
if [ -f "$source_dir/expat/CMakeLists.txt" ]; then
    source_dir=$source_dir/expat
fi

# Debian builds the package with autotools, whose config header defines XML_DTD as 1, and
# one of its security patches tests "#if XML_DTD == 1". Expat's CMake header defines it
# empty, so it is given the value the patch expects (XML_NS alike, for the same header).
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
echo "$version" >"$stamp"
echo "Expat $version for MinGW installed in $prefix"
