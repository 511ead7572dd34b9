// What the Linux process tests share: a private folder with the notify socket, the log
// files and a settings file for orvo, and the start of orvo as a service.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/numbered_lines.h"
#include "tests/service/service_harness.h"
#include "tests/test_support.h"

namespace orvo_test {

// The settings of the service tests' orvo: the test classes, given as a class-path option,
// and options that shorten the Java VM's start, since the tests start many.
struct service_settings : settings_document {
    service_settings() {
        dll_path = ORVO_TEST_LIBJVM;
        options = {"-Djava.class.path=" ORVO_TEST_CLASSES, "-XX:TieredStopAtLevel=1",
                   "-XX:+UseSerialGC", "-Xmx64m"};
        class_name = "orvotest/Probe";
        start_method = "start";
        stop_method = "stop";
    }
};

class service_test : public ::testing::Test {
  protected:
    service_test();

    // Settings whose logs are out.log and err.log in the folder.
    service_settings default_settings() const;
    // Writes `settings` to settings.xml and starts orvo on it.
    std::unique_ptr<service_process> start(const service_settings& settings);
    // Starts orvo with these arguments and the notify socket set (or not).
    std::unique_ptr<service_process> start_with(const std::vector<std::string>& arguments,
                                                bool with_notify_socket = true);
    // Reads the reports of a successful start and checks their order and fields.
    void expect_running();
    // Sends SIGTERM to a running service and checks the reports of its stop.
    void expect_stop_on(service_process& service, int signal_number);

    std::string stdout_log() const { return folder / "out.log"; }
    std::string stderr_log() const { return folder / "err.log"; }
    std::string console_out() const { return read_file(folder / "console.out"); }
    std::string console_err() const { return read_file(folder / "console.err"); }
    // Makes a named pipe in the folder for a Probe method to wait on.
    std::string make_pipe(const std::string& name) const;
    // Starts orvo on the default settings with a start method that waits on the named pipe
    // `start_gate` (made here) once it has written its first lines.
    std::unique_ptr<service_process> start_held(const std::string& start_gate);

    temp_dir folder;
    notify_listener listener;
};

// `lines` with `marker` in each replaced by `path` (a named pipe's, say).
std::vector<std::string> placed(std::vector<std::string> lines, const std::string& path,
                                const std::string& marker = "{gate}");

// Checks one report's fields against the values the service must send.
void expect_report(const report& got, long state, long controls, long exit_code, long check_point,
                   long wait_hint);

// The next report, which must say that the service runs, with this note ("logs reopened").
void expect_note(notify_listener& listener, const std::string& note);

} // namespace orvo_test
