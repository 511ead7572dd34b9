#!/usr/bin/env bash
# Installs every Debian package that orvo's builds and tests use, when it is missing.
# Safe to run again: it does nothing when everything is there.
set -euo pipefail

# "main": what building orvo and running the example service needs; "all" (the default):
# everything the test suite uses as well.
main_packages=(
    git ca-certificates python3 procps xz-utils
    g++ cmake ninja-build pkg-config
    libexpat1-dev nlohmann-json3-dev openjdk-17-jdk-headless curl
)
test_packages=(
    file clang-14 libclang-rt-14-dev
    googletest libgtest-dev libbenchmark-dev
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
    dpkg-dev zip unzip lintian logrotate systemd
    time
)
case "${1:-all}" in
main) packages=("${main_packages[@]}") ;;
all) packages=("${main_packages[@]}" "${test_packages[@]}") ;;
*)
    echo "usage: install-deps.sh [main|all]" >&2
    exit 2
    ;;
esac

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The Windows build compiles Expat from Debian's source package, which needs a deb-src entry.
# Each existing binary entry is mirrored as a source entry with the same options (apt refuses
# two entries for one archive whose Signed-By differ).
ensure_deb_src() {
    if grep -Eqs '^deb-src |^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/*; then
        return 1
    fi
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        sed 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb-src/' "$file" |
            as_root tee "/etc/apt/sources.list.d/orvo-src-$(basename "$file")" >/dev/null
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        grep -E '^deb ' "$file" | sed 's/^deb /deb-src /' |
            as_root tee -a /etc/apt/sources.list.d/orvo-deb-src.list >/dev/null
    done
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

need_update=0
if [ "${1:-all}" = all ]; then
    ensure_deb_src && need_update=1
fi
[ ${#missing[@]} -gt 0 ] && need_update=1
# The source index may be absent even where the entry exists (added but never fetched).
if [ "${1:-all}" = all ] && [ -z "$(apt-cache showsrc expat 2>/dev/null)" ]; then
    need_update=1
fi

if [ "$need_update" -eq 1 ]; then
    as_root apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
