#!/usr/bin/env python3
"""Runs orvo in the foreground, playing the service manager's part of systemd's notify protocol.

It creates the notification socket, starts the command with NOTIFY_SOCKET pointing at it,
prints every status report as it arrives, optionally asks a URL once the service is running,
and stops the service with SIGTERM on Ctrl-C or after --seconds. Its exit status is 0 when the
service reached running and then stopped with exit code 0.

usage: notify-runner.py [--seconds N] [--url URL] -- COMMAND [ARGS...]
"""

import argparse
import os
import select
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

STATE_NAMES = {
    1: "stopped",
    2: "start pending",
    3: "stop pending",
    4: "running",
    5: "continue pending",
    6: "pause pending",
    7: "paused",
}
STOPPED, RUNNING = 1, 4
STOP_GRACE_SECONDS = 60


def say(text):
    print(f"[runner] {text}", flush=True)


def parse_report(datagram):
    fields = {}
    for line in datagram.decode("utf-8", "replace").split("\n"):
        key, sep, value = line.partition("=")
        if sep:
            fields[key] = value
    return fields


def describe(fields):
    state = int(fields.get("X_ORVO_STATE", "0"))
    parts = [f"report: {STATE_NAMES.get(state, 'state ' + str(state))}"]
    for key, label in (("X_ORVO_CHECKPOINT", "check-point"), ("X_ORVO_WAIT_HINT", "wait hint ms"),
                       ("X_ORVO_CONTROLS", "controls"), ("X_ORVO_EXIT_CODE", "exit code")):
        if key in fields:
            parts.append(f"{label} {fields[key]}")
    text = ", ".join(parts)
    if fields.get("STATUS"):
        text += f"  ({fields['STATUS']})"
    return state, text


def probe(url):
    try:
        with urllib.request.urlopen(url, timeout=10) as response:
            body = response.read().decode("utf-8", "replace").strip()
            say(f"GET {url} -> {response.status}: {body}")
    except OSError as error:
        say(f"GET {url} failed: {error}")


class Runner:
    def __init__(self, options):
        self.options = options
        self.stop_requested = False
        self.sent_stop_at = None
        self.running_since = None
        self.last_state = None
        self.exit_code = None

    def on_interrupt(self, signum, frame):
        self.stop_requested = True

    def request_stop(self, child, reason):
        if self.sent_stop_at is None:
            say(f"{reason}: sending SIGTERM to orvo (pid {child.pid})")
            child.send_signal(signal.SIGTERM)
            self.sent_stop_at = time.monotonic()

    def handle_report(self, datagram):
        fields = parse_report(datagram)
        state, text = describe(fields)
        say(text)
        self.last_state = state
        if state == RUNNING and self.running_since is None:
            self.running_since = time.monotonic()
            if self.options.url:
                probe(self.options.url)
        if state == STOPPED:
            self.exit_code = int(fields.get("X_ORVO_EXIT_CODE", "0"))

    def due_to_stop(self):
        if self.stop_requested:
            return "Ctrl-C"
        if (self.options.seconds is not None and self.running_since is not None
                and time.monotonic() - self.running_since >= self.options.seconds):
            return f"{self.options.seconds} s of running are over"
        return None

    def run(self):
        with tempfile.TemporaryDirectory(prefix="orvo-runner-") as folder:
            path = os.path.join(folder, "notify")
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            sock.bind(path)
            env = dict(os.environ, NOTIFY_SOCKET=path)
            signal.signal(signal.SIGINT, self.on_interrupt)
            # Its own session, so that Ctrl-C reaches the runner only and orvo is stopped
            # the way a service manager stops it.
            child = subprocess.Popen(self.options.command, env=env, start_new_session=True)
            say(f"started {' '.join(self.options.command)} (pid {child.pid})")
            while True:
                readable, _, _ = select.select([sock], [], [], 0.2)
                if readable:
                    self.handle_report(sock.recv(65536))
                    continue
                if child.poll() is not None:
                    break
                reason = self.due_to_stop()
                if reason:
                    self.request_stop(child, reason)
                if (self.sent_stop_at is not None
                        and time.monotonic() - self.sent_stop_at > STOP_GRACE_SECONDS):
                    say("orvo did not end in time: killing it")
                    child.kill()
            while select.select([sock], [], [], 0)[0]:
                self.handle_report(sock.recv(65536))
            say(f"orvo exited with status {child.returncode}")
        ok = (self.running_since is not None and self.last_state == STOPPED
              and self.exit_code == 0 and child.returncode == 0)
        return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, help="stop the service after it ran this long")
    parser.add_argument("--url", help="URL to ask once the service is running")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    if options.command and options.command[0] == "--":
        options.command = options.command[1:]
    if not options.command:
        parser.error("a command to run is needed")
    return Runner(options).run()


if __name__ == "__main__":
    sys.exit(main())
