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
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 msitools wixl
    dpkg-dev debian-archive-keyring zip unzip lintian logrotate systemd
    time locales
    podman runc debootstrap
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

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    as_root apt-get update -q
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
