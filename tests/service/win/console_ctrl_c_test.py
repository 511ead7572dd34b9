#!/usr/bin/env python3
"""orvo.exe --console under Wine, on a console that is a pseudo-terminal, stopped by Ctrl-C.

Wine turns a Ctrl-C typed on the terminal of its console into the console's Ctrl-C event.
The stand-in Java VM registers a console handler of its own when it is created, as a real
one does, which would end the process through Java's exit: orvo's handler must take the
event first, so that the stop method runs and orvo ends with 0. A second Ctrl-C while the
stop hangs ends orvo at once with 572 (Wine hands on its low eight bits, 60).

usage: console_ctrl_c_test.py WINE_RUN PREFIX ORVO_EXE RECORDING_JVM STANDIN_JVM
"""
import os
import pty
import select
import sys
import tempfile
import time

GUARD_SECONDS = 180  # only against a hang: every wait ends on what orvo writes


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def settings_xml(folder, record, recording_jvm, standin_jvm, more_options):
    options = [
        "-Drecording.standin=" + windows_path(standin_jvm),
        "-Drecording.file=" + windows_path(record),
        "-Dstandin.class=orvotest/Probe",
        "-Dstandin.method=orvotest/Probe.start([Ljava/lang/String;)V",
        "-Dstandin.method=orvotest/Probe.stop()V",
        "-Dstandin.end=console:exit:130",
    ] + more_options
    return (
        "<setting>\n  <log stdout='-' stderr='-'/>\n"
        "  <jvm dll_path='" + windows_path(recording_jvm) + "'>\n"
        + "".join("    <option>" + o + "</option>\n" for o in options)
        + "  </jvm>\n  <server class='orvotest/Probe' start_method='start' stop_method='stop'/>\n"
        "</setting>\n"
    )


class console_run:
    """orvo.exe --console SETTINGS under Wine, its console a pseudo-terminal."""

    def __init__(self, wine_run, prefix, orvo, settings):
        self.pid, self.terminal = pty.fork()
        if self.pid == 0:
            os.execvp(wine_run, [wine_run, prefix, orvo, "--console", windows_path(settings)])
        self.output = b""

    def wait_for(self, text):
        """Reads until the output holds `text`; False when orvo ended or went silent."""
        deadline = time.monotonic() + GUARD_SECONDS
        while text.encode() not in self.output:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.terminal], [], [], left)[0]:
                return False
            try:
                chunk = os.read(self.terminal, 4096)
            except OSError:  # the terminal closed with the process
                return False
            if not chunk:
                return False
            self.output += chunk
        return True

    def type(self, keys):
        os.write(self.terminal, keys)

    def status(self):
        while self.wait_for("\0never"):
            pass
        _, status = os.waitpid(self.pid, 0)
        return os.waitstatus_to_exitcode(status)


failures = []


def check(condition, what, output=b""):
    if not condition:
        failures.append(what + "\n" + output.decode(errors="replace"))


def main():
    wine_run, prefix, orvo, recording_jvm, standin_jvm = sys.argv[1:6]
    with tempfile.TemporaryDirectory(prefix="orvo-console-") as folder:
        # One Ctrl-C: the stop method, the VM destroyed, 0.
        record = os.path.join(folder, "record.txt")
        settings = os.path.join(folder, "settings.xml")
        with open(settings, "w") as file:
            file.write(settings_xml(folder, record, recording_jvm, standin_jvm, []))
        run = console_run(wine_run, prefix, orvo, settings)
        check(run.wait_for("orvo: running"), "no running line", run.output)
        run.type(b"\x03")
        status = run.status()
        check(status == 0, "Ctrl-C ended orvo with %d, not 0" % status, run.output)
        for line in ["recording VM created", "orvo: stop pending (check-point 1)",
                     "orvo: stopped (exit code 0)"]:
            check(line.encode() in run.output, "the console lacks " + line, run.output)
        calls = open(record).read() if os.path.exists(record) else ""
        check("CallStaticVoidMethod orvotest/Probe.stop" in calls, "no stop method: " + calls)
        check("library released" in calls, "the VM library was not released: " + calls)
        check("console event" not in calls, "the VM's handler took the event: " + calls)

        # A stop method that hangs: a second Ctrl-C ends orvo at once.
        with open(settings, "w") as file:
            file.write(settings_xml(folder, record, recording_jvm, standin_jvm,
                                    ["-Dstandin.end=orvotest/Probe.stop:hang"]))
        run = console_run(wine_run, prefix, orvo, settings)
        check(run.wait_for("orvo: running"), "no running line", run.output)
        run.type(b"\x03")
        check(run.wait_for("orvo: stop pending"), "no stop pending line", run.output)
        run.type(b"\x03")
        status = run.status()
        check(status == 572 & 0xFF, "a second Ctrl-C ended orvo with %d" % status, run.output)
        for line in ["orvo: a second stop request: ending at once",
                     "orvo: stopped (exit code 572)"]:
            check(line.encode() in run.output, "the console lacks " + line, run.output)
    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
