// Starts that fail: the service must stop with a non-zero exit code, say why where an
// operator looks, and never report running.
#include <csignal>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_failure = service_test;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Reads the reports of a start that fails; the stopped report's exit code.
long expect_failed_start(notify_listener& listener) {
    const std::vector<report> reports = reports_until_stopped(listener);
    EXPECT_EQ(reports.size(), 3u) << "start pending twice, then stopped, never running";
    if (reports.size() != 3) {
        return -1;
    }
    expect_report(reports[0], 2, 0, 0, 1, 5000);
    expect_report(reports[1], 2, 0, 0, 2, 1000);
    EXPECT_EQ(reports[2].state(), 1);
    EXPECT_EQ(reports[2].number("X_ORVO_CONTROLS"), 7);
    EXPECT_EQ(reports[2].fields.at("EXIT_STATUS"), reports[2].fields.at("X_ORVO_EXIT_CODE"));
    return reports[2].number("X_ORVO_EXIT_CODE");
}

TEST_F(service_failure, run_outside_a_service_manager_it_prints_the_error_and_ends_with_1063) {
    auto service = start_with({folder / "settings.xml"}, false);
    // The shell sees the low eight bits of 1063.
    EXPECT_EQ(service->wait(), 1063 & 0xff);
    EXPECT_EQ(console_out(), "Error: StartServiceCtrlDispatcher");
}

TEST_F(service_failure, a_notify_socket_that_cannot_receive_reports_is_no_service_manager) {
    write_file(folder / "plain-file", "");
    const std::string cases[][2] = {{folder / "missing.sock", "No such file or directory"},
                                    {folder / "plain-file", "not a socket"},
                                    {"@orvo-test-nobody-listens", "nothing receives on it"}};
    for (const auto& [address, reason] : cases) {
        service_process service({folder / "settings.xml"}, address, folder / "console.out",
                                folder / "console.err");
        EXPECT_EQ(service.wait(), 1063 & 0xff) << address;
        EXPECT_EQ(console_out(), "Error: StartServiceCtrlDispatcher");
        EXPECT_EQ(console_err(), "error: NOTIFY_SOCKET names \"" + address +
                                     "\", which cannot receive status reports: " + reason +
                                     ".\r\n");
    }
}

TEST_F(service_failure, a_java_vm_library_that_cannot_be_loaded_stops_the_service) {
    service_settings settings = default_settings();
    settings.dll_path = folder / "no-such-libjvm.so";
    auto service = start(settings);
    const long exit_code = expect_failed_start(listener);
    EXPECT_NE(exit_code, 0);
    // systemd takes a service's result from its exit status alone: never 0 after a failure.
    EXPECT_EQ(service->wait(), 69);
    EXPECT_EQ(read_file(stderr_log()), "error: couldn't load jvm.dll.\r\n");
}

TEST_F(service_failure, a_java_vm_that_refuses_to_start_stops_the_service_with_1627) {
    service_settings settings = default_settings();
    settings.options.push_back("-XX:+NoSuchOptionAnywhere");
    auto service = start(settings);
    EXPECT_EQ(expect_failed_start(listener), 1627);
    EXPECT_EQ(service->wait(), 69);
    EXPECT_TRUE(contains(read_file(stderr_log()), "error: couldn't create JavaVM.\r\n"));
}

TEST_F(service_failure, settings_that_cannot_be_loaded_stop_the_service_with_1610) {
    // A file that is missing, and a well-formed file that is not a settings document.
    for (const std::string& content : {std::string(), std::string("<settings/>")}) {
        if (!content.empty()) {
            write_file(folder / "settings.xml", content);
        }
        auto service = start_with({folder / "settings.xml"});
        EXPECT_EQ(expect_failed_start(listener), 1610);
        EXPECT_EQ(service->wait(), 78);
        // The reason goes to the standard error the service was started with (the journal
        // under systemd), and points to the checking tool.
        const std::string said = console_err();
        EXPECT_TRUE(
            contains(said, "error: couldn't load settings file \"" + folder / "settings.xml"))
            << said;
        EXPECT_TRUE(contains(said, "orvo-check")) << said;
        EXPECT_EQ(content.empty(), contains(said, "not well-formed XML")) << said;
        EXPECT_EQ(content.empty(), !contains(said, "only \"setting\" could exist at root")) << said;
    }
    EXPECT_FALSE(fs::exists(stdout_log()));
    EXPECT_FALSE(fs::exists(stderr_log()));
}

TEST_F(service_failure, a_settings_file_that_is_a_named_pipe_is_not_waited_on) {
    auto service = start_with({make_pipe("settings.fifo")});
    EXPECT_EQ(expect_failed_start(listener), 1610);
    EXPECT_EQ(service->wait(), 78);
}

TEST_F(service_failure, a_command_line_without_settings_path_stops_the_service_with_160) {
    auto service = start_with({});
    EXPECT_EQ(expect_failed_start(listener), 160);
    EXPECT_EQ(service->wait(), 64);
    EXPECT_TRUE(contains(console_err(), "error: no settings file")) << console_err();
}

TEST_F(service_failure, a_missing_server_class_still_runs_and_stops_the_java_vm) {
    service_settings settings = default_settings();
    settings.class_name = "orvotest/Missing";
    auto service = start(settings);
    expect_running();
    expect_stop_on(*service, SIGTERM);
    // Once at the start, once at the stop (the Java VM adds what it has to say).
    const std::string log = read_file(stderr_log());
    const std::string line = "error: class \"orvotest/Missing\" not found.\r\n";
    const std::string::size_type first = log.find(line);
    ASSERT_EQ(first, 0u) << log;
    const std::string::size_type second = log.find(line, first + line.size());
    EXPECT_NE(second, std::string::npos) << log;
    EXPECT_EQ(log.find(line, second + line.size()), std::string::npos) << log;
}

} // namespace
} // namespace orvo_test
