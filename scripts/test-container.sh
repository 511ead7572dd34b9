#!/usr/bin/env bash
# Builds the container image of packaging/container and tests it under podman: orvo as
# PID 1 runs the example server with both logs "-"; "podman stop" calls its stop method
# and the container exits 0; "podman logs" has the Java program's output; a failed start is
# the container's exit status.
#
#   test-container.sh WORK_DIR LINUX_BUILD_DIR
#
# LINUX_BUILD_DIR is a configured and built tree of orvo, whose Debian package CPack makes.
# The base image comes from a Debian 12 tree made here with debootstrap (minbase) from
# Debian's archive, not from a registry; it is kept in podman's storage as
# localhost/orvo-debian-base:bookworm, and the image's Java runtime layer in podman's
# build cache, so that a second run builds only the layers that hold orvo. Delete them
# (podman rmi) to start afresh.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: test-container.sh WORK_DIR LINUX_BUILD_DIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
work=$(cd "$1" && pwd)
linux_build=$(cd "$2" && pwd)
base=localhost/orvo-debian-base:bookworm
# One image per work folder, so that runs from other trees on the machine keep theirs.
image=localhost/orvo-hello:$(printf '%s' "$work" | md5sum | cut -c1-12)
mirror=${ORVO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
name=orvo-container-test-$$

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
# runc, since crun refuses some hosts' hybrid cgroup layout. The containers' limits of
# open files and processes are lowered from the engine's defaults, which a runtime cannot
# set where the host (a sandbox, a container itself) allows less: to what this process may
# have, and to plenty for one Java VM.
podman_() { as_root podman --runtime runc "$@"; }
files=$(ulimit -Hn)
if [ "$files" = unlimited ] || [ "$files" -gt 65536 ]; then
    files=65536
fi
run_options=(--ulimit "nofile=$files:$files" --ulimit nproc=4096:4096)

step() { printf '=== %s\n' "$*"; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
cleanup() { podman_ rm -f -i "$name" "$name-bad" >/dev/null 2>&1 || true; }
trap cleanup EXIT

step "The Debian package"
rm -rf "$work/context" "$work/packages"
mkdir -p "$work/context"
cpack --config "$linux_build/CPackConfig.cmake" -G DEB -B "$work/packages" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
cp "$(ls "$work"/packages/orvo_*_amd64.deb | head -n 1)" "$work/context/orvo.deb"
cp "$root/packaging/container/Containerfile" "$root/packaging/container/container.xml" \
    "$work/context/"

if ! podman_ image exists "$base"; then
    step "The base image, from a Debian 12 tree (debootstrap --variant=minbase)"
    tree=$work/debian-tree
    as_root rm -rf --one-file-system "$tree"
    as_root debootstrap --variant=minbase bookworm "$tree" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        { tail -n 30 "$work/debootstrap.log"; exit 1; }
    as_root rm -rf "$tree"/var/cache/apt/archives/*.deb "$tree"/var/lib/apt/lists/*
    as_root tar -C "$tree" -c . | podman_ import - "$base" >/dev/null 2>&1
    as_root rm -rf --one-file-system "$tree"
fi

step "The image"
podman_ build --layers "${run_options[@]}" -t "$image" -f "$work/context/Containerfile" \
    "$work/context" >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; exit 1; }
# The images that earlier runs left without a tag; the cached layers below them stay.
podman_ image prune -f --filter label=org.orvo.example=hello-server >/dev/null

# Polls the container's output until it holds the text; false once the container ended
# without it, or after the guard time (a hang).
logs_say() {
    local text=$1 tries=0
    while [ $tries -lt 1200 ]; do
        podman_ logs "$name" 2>&1 | grep -qF -- "$text" && return 0
        [ "$(podman_ inspect -f '{{.State.Running}}' "$name")" = true ] || {
            podman_ logs "$name" 2>&1 | grep -qF -- "$text"
            return
        }
        sleep 0.1
        tries=$((tries + 1))
    done
    return 1
}

step "Start, serve, stop"
podman_ run -d --name "$name" "${run_options[@]}" "$image" >/dev/null
logs_say "orvo: running" || fail "the server did not start: $(podman_ logs "$name" 2>&1)"
[ "$(podman_ exec "$name" cat /proc/1/comm)" = orvo ] || fail "orvo is not PID 1"
answer=$(podman_ exec "$name" bash -c 'exec 3<>/dev/tcp/127.0.0.1/8080
    printf "GET / HTTP/1.0\r\nHost: localhost\r\n\r\n" >&3; cat <&3')
grep -q "^HTTP/1.[01] 200" <<<"$answer" || fail "the server did not answer: $answer"
podman_ stop -t 60 "$name" >/dev/null
status=$(podman_ inspect -f '{{.State.ExitCode}}' "$name")
[ "$status" = 0 ] || fail "the container exited with $status after podman stop"
logs=$(podman_ logs "$name" 2>&1)
for line in "orvo: start pending (check-point 1)" "hello-server listening on" "orvo: running" \
    "orvo: stop pending" "hello-server stopping" "hello-server stopped" \
    "orvo: stopped (exit code 0)"; do
    grep -qF -- "$line" <<<"$logs" || fail "podman logs lacks \"$line\""
done
# The request the server logged came from the container's own output.
grep -q " GET / " <<<"$logs" || fail "podman logs lacks the request line"

step "A failed start is the container's exit status"
podman_ run --name "$name-bad" "${run_options[@]}" "$image" /etc/orvo/missing.xml \
    >"$work/bad.log" 2>&1 && bad=0 || bad=$?
[ "$bad" = 78 ] || fail "a missing settings file ended the container with $bad, not 78"
grep -qF 'orvo: stopped (exit code 1610)' "$work/bad.log" || fail "no stopped line: $(cat "$work/bad.log")"

if [ $failures -ne 0 ]; then
    echo "$failures container check(s) failed"
    exit 1
fi
echo "The container checks passed"
