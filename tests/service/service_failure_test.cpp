// Starts that fail: the service must stop with a non-zero exit code, say why where an
// operator looks, and never report running.
#include <csignal>
#include <map>

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

const std::string start_hint =
    "orvo: not started by a service manager: run it as a systemd service of Type=notify (see "
    "orvo(1)), or run it by hand with orvo --console SETTINGS_FILE\r\n";

TEST_F(service_failure, run_outside_a_service_manager_it_prints_the_error_and_ends_with_1063) {
    auto service = start_with({folder / "settings.xml"}, false);
    // The shell sees the low eight bits of 1063.
    EXPECT_EQ(service->wait(), 1063 & 0xff);
    EXPECT_EQ(console_out(), "Error: StartServiceCtrlDispatcher");
    EXPECT_EQ(console_err(), start_hint);
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
                                     ".\r\n" + start_hint);
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

// The reason goes to the standard error the service was started with (the journal under
// systemd): a file that cannot be read says why in the system's words; one that does not
// load points to the checking tool.
TEST_F(service_failure, settings_that_cannot_be_loaded_stop_the_service_with_1610) {
    write_file(folder / "empty.xml", "");
    write_file(folder / "other.xml", "<settings/>");
    const std::string pipe = make_pipe("settings.fifo");
    const std::pair<std::string, std::string> rows[] = {
        {folder / "missing.xml", ": No such file or directory.\r\n"},
        {folder.path().string(), ": Is a directory.\r\n"},
        {pipe, ": it is a named pipe, which is not waited on.\r\n"},
        {folder / "empty.xml", ": it cannot be read or is not well-formed XML (parser error 3 at "
                               "line 1, column 0); check it with orvo-check.\r\n"},
        {folder / "other.xml",
         ": only \"setting\" could exist at root; check it with orvo-check.\r\n"},
    };
    for (const auto& [path, reason] : rows) {
        SCOPED_TRACE(path);
        auto service = start_with({path});
        EXPECT_EQ(expect_failed_start(listener), 1610);
        EXPECT_EQ(service->wait(), 78);
        const std::string said = console_err();
        EXPECT_TRUE(contains(said, "error: couldn't load settings file \"" + path + '"' + reason))
            << said;
    }
    EXPECT_FALSE(fs::exists(stdout_log()));
    EXPECT_FALSE(fs::exists(stderr_log()));
}

// A working directory that cannot be entered fails the start before anything relative is
// resolved: no log is opened, and the line goes where the service manager looks.
TEST_F(service_failure, a_working_directory_that_cannot_be_entered_fails_the_start) {
    write_file(folder / "a-file", "");
    const std::pair<std::string, std::string> cases[] = {
        {"no-such-folder", "No such file or directory"}, {"a-file", "Not a directory"}};
    for (const auto& [directory, reason] : cases) {
        SCOPED_TRACE(directory);
        service_settings settings = default_settings();
        settings.working_directory = directory;
        auto service = start(settings);
        EXPECT_EQ(expect_failed_start(listener), 267);
        EXPECT_EQ(service->wait(), 78);
        EXPECT_EQ(console_err(), "error: couldn't change to working directory \"" + directory +
                                     "\": " + reason + ".\r\n");
        EXPECT_FALSE(fs::exists(stdout_log()));
        EXPECT_FALSE(fs::exists(stderr_log()));
    }
}

// A start_timeout that no thread can keep is no limit at all: the start fails with the
// reason, rather than run unwatched. orvo makes one thread before the watch: the service's.
TEST_F(service_failure, a_start_limit_that_no_thread_can_watch_fails_the_start) {
    service_settings settings = default_settings();
    settings.start_timeout = "60000";
    const std::string sanitizer_options =
        std::getenv("ASAN_OPTIONS") != nullptr ? std::getenv("ASAN_OPTIONS") : "";
    setenv("LD_PRELOAD", ORVO_THREAD_LIMIT, 1);
    setenv("ORVO_TEST_THREADS", "1", 1);
    // A sanitizer's runtime would otherwise insist on coming first.
    setenv("ASAN_OPTIONS", (sanitizer_options + ":verify_asan_link_order=0").c_str(), 1);
    auto service = start(settings);
    unsetenv("LD_PRELOAD");
    unsetenv("ORVO_TEST_THREADS");
    setenv("ASAN_OPTIONS", sanitizer_options.c_str(), 1);
    const std::vector<report> reports = reports_until_stopped(listener);
    ASSERT_EQ(reports.size(), 4u) << "start pending with the limit, then stopped";
    EXPECT_EQ(reports[2].number("X_ORVO_CHECKPOINT"), 3);
    EXPECT_EQ(reports[3].state(), 1);
    EXPECT_EQ(reports[3].number("X_ORVO_EXIT_CODE"), 1627);
    EXPECT_EQ(service->wait(), 69);
    EXPECT_TRUE(contains(console_err(), "error: couldn't watch the start's time limit: "
                                        "Resource temporarily unavailable.\r\n"))
        << console_err();
    EXPECT_FALSE(fs::exists(stdout_log()));
}

TEST_F(service_failure, a_command_line_without_settings_path_stops_the_service_with_160) {
    auto service = start_with({});
    EXPECT_EQ(expect_failed_start(listener), 160);
    EXPECT_EQ(service->wait(), 64);
    EXPECT_TRUE(contains(console_err(), "error: no settings file")) << console_err();
}

// Starts that cannot do their job. None is ever reported running; where the Java VM is
// up, it is stopped as a stop request would stop it (stop pending, the stop method only
// when the start method was called, the stop's own time limit), then stopped with the
// code that names the failure. The host's lines go to the stderr log, or, for a log that
// cannot be opened, to the standard error orvo was started with.
struct failed_start {
    const char* name;
    const char* class_name;              // "" keeps orvotest/Probe
    const char* start_method;            // "" keeps start
    std::vector<std::string> parameters; // "{gate}": a named pipe never written
    const char* stdout_log;              // "" keeps out.log; "{missing}", "{folder}", "{fifo}"
    const char* stderr_log;              // as stdout_log
    const char* start_timeout;
    const char* stop_timeout;
    int release_after_stops;     // write the gate after this many stop reports
    bool stop_request_meanwhile; // SIGTERM at the first stop-pending report
    std::vector<long> states;    // a run of stop-pending reports counts as one
    long exit_code;
    int status;
    std::vector<std::string> lines; // orvo's "error: " lines, in order, CR LF dropped
    std::vector<std::string> java;  // the stdout log's lines
};

const std::string not_found = "No such file or directory";
const std::string threw = "error: the start method \"start\" of \"orvotest/Probe\" threw "
                          "java.lang.IllegalStateException.";
const std::vector<std::string> threw_and_stopped = {"start throw-in-start", "stop throw-in-start",
                                                    "stopped", "shutdown hook"};

// clang-format off
const failed_start failed_starts[] = {
    {"a log in a folder that is missing", "", "", {}, "{missing}", "", "", "", 0, false,
     {2, 2, 1}, 82, 73, {"error: couldn't open log file \"{missing}\": " + not_found + "."}, {}},
    {"a log in a folder that is missing, with a start limit", "", "", {}, "", "{missing}", "60000", "", 0, false,
     {2, 2, 2, 1}, 82, 73, {"error: couldn't open log file \"{missing}\": " + not_found + "."}, {}},
    {"a log that is a folder", "", "", {}, "", "{folder}", "", "", 0, false,
     {2, 2, 1}, 82, 73, {"error: couldn't open log file \"{folder}\": Is a directory."}, {}},
    {"a log that is a named pipe without reader", "", "", {}, "{fifo}", "", "", "", 0, false,
     {2, 2, 1}, 82, 73, {"error: couldn't open log file \"{fifo}\": No such device or address."}, {}},

    {"a class that is not there", "orvotest/Missing", "", {}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1610, 78, {"error: class \"orvotest/Missing\" not found."}, {}},
    {"a class that is not there, with both limits", "orvotest/Missing", "", {}, "", "", "60000", "20000", 0, false,
     {2, 2, 2, 3, 1}, 1610, 78, {"error: class \"orvotest/Missing\" not found."}, {}},
    {"no start method of that name", "", "begin", {}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1610, 78, {"error: method \"begin\" not found."}, {}},
    {"a start method that is not static", "", "notify", {}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1610, 78, {"error: method \"notify\" not found."}, {}},
    {"only start() while parameters are configured", "", "stop", {"x"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1610, 78, {"error: method \"stop\" not found."}, {}},
    // Found, and its code failed: the program's failure, which may pass, as a start that threw.
    {"a class whose static initialiser throws", "orvotest/Static", "", {}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1064, 70, {"error: loading class \"orvotest/Static\" threw java.lang.ExceptionInInitializerError."}, {}},

    {"a start method that throws", "", "", {"throw-in-start"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1064, 70, {threw}, threw_and_stopped},
    // The Java VM's description stops mid-line: orvo's line begins a line of its own.
    {"a start method that throws what cannot be described", "", "", {"throw-unprintable-in-start"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1064, 70, {"error: the start method \"start\" of \"orvotest/Probe\" threw orvotest.Probe$Unprintable."},
     {"start throw-unprintable-in-start", "stop throw-unprintable-in-start", "stopped", "shutdown hook"}},
    // Names reach orvo's line in UTF-8, as in the Java VM's own description.
    {"a start method that throws with a name beyond the basic plane", "", "", {"throw-unicode-in-start"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1064, 70, {"error: the start method \"start\" of \"orvotest/Probe\" threw orvotest.Probe$Инфо$Ошибка𐐀."},
     {"start throw-unicode-in-start", "stop throw-unicode-in-start", "stopped", "shutdown hook"}},
    {"a start method that throws, a stop request meanwhile", "", "", {"throw-in-start"}, "", "", "", "", 0, true,
     {2, 2, 3, 1}, 1064, 70, {threw}, threw_and_stopped},
    // The start's limit (1500 ms) passes while the stop is under way: it no longer runs.
    {"a throwing start whose stop outlasts the start's limit", "", "", {"throw-in-start", "stop-waits-for:{gate}"}, "", "", "1500", "20000", 3, false,
     {2, 2, 2, 3, 1}, 1064, 70, {threw}, {"start throw-in-start,stop-waits-for:{gate}", "stop throw-in-start,stop-waits-for:{gate}", "stopped", "shutdown hook"}},
    {"a throwing start whose stop runs out of time", "", "", {"throw-in-start", "stop-waits-for:{gate}"}, "", "", "", "1500", 0, false,
     {2, 2, 3, 1}, 1053, 75, {threw, "error: stop did not complete within 1500 ms."}, {"start throw-in-start,stop-waits-for:{gate}", "stop throw-in-start,stop-waits-for:{gate}"}},
    {"a throwing start whose stop method exits", "", "", {"throw-in-start", "exit-in-stop:5"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1066, 5, {threw, "error: the Java VM exited with status 5."}, {"start throw-in-start,exit-in-stop:5", "stop throw-in-start,exit-in-stop:5", "shutdown hook"}},
    // The service never ran: its end is a failed start, whatever the status.
    {"a throwing start whose stop method exits with 0", "", "", {"throw-in-start", "exit-in-stop:0"}, "", "", "", "", 0, false,
     {2, 2, 3, 1}, 1067, 70, {threw, "error: the Java VM exited with status 0 before the service was running."}, {"start throw-in-start,exit-in-stop:0", "stop throw-in-start,exit-in-stop:0", "shutdown hook"}},
};
// clang-format on

std::string placed(std::string text, const std::map<std::string, std::string>& places) {
    for (const auto& [mark, path] : places) {
        for (std::string::size_type at; (at = text.find(mark)) != std::string::npos;) {
            text.replace(at, mark.size(), path);
        }
    }
    return text;
}

std::vector<long> collapsed_states(const std::vector<report>& reports) {
    std::vector<long> states;
    for (const report& each : reports) {
        if (states.empty() || states.back() != 3 || each.state() != 3) {
            states.push_back(each.state());
        }
    }
    return states;
}

std::vector<std::string> error_lines(const std::string& text) {
    std::vector<std::string> found;
    for (std::string line : lines_of(text)) {
        if (line.compare(0, 7, "error: ") == 0) {
            found.push_back(line.substr(0, line.find('\r')));
        }
    }
    return found;
}

TEST_F(service_failure, a_start_that_cannot_do_its_job_fails_with_its_reason) {
    const std::string gate = make_pipe("gate");
    const std::map<std::string, std::string> places = {
        {"{missing}", folder / "no-such-folder/service.log"},
        {"{folder}", folder.path().string()},
        {"{fifo}", make_pipe("log.fifo")},
        {"{gate}", gate}};
    for (const failed_start& failure : failed_starts) {
        SCOPED_TRACE(failure.name);
        service_settings settings = default_settings();
        if (failure.class_name[0] != '\0') {
            settings.class_name = failure.class_name;
        }
        if (failure.start_method[0] != '\0') {
            settings.start_method = failure.start_method;
        }
        for (const std::string& parameter : failure.parameters) {
            settings.parameters.push_back(placed(parameter, places));
        }
        if (failure.stdout_log[0] != '\0') {
            settings.stdout_log = placed(failure.stdout_log, places);
        }
        if (failure.stderr_log[0] != '\0') {
            settings.stderr_log = placed(failure.stderr_log, places);
        }
        settings.start_timeout = failure.start_timeout;
        settings.stop_timeout = failure.stop_timeout;
        // The Java VM finds a class file named beyond ASCII, and describes it, in UTF-8.
        settings.env = {{"LC_ALL", "C.UTF-8"}};
        fs::remove(stdout_log());
        fs::remove(stderr_log());
        auto service = start(settings);
        std::vector<report> reports;
        int stop_reports = 0;
        while (std::optional<report> next = listener.next(service.get())) {
            reports.push_back(*next);
            if (next->state() == 3 && ++stop_reports == 1 && failure.stop_request_meanwhile) {
                service->signal(SIGTERM);
            }
            if (next->state() == 3 && stop_reports == failure.release_after_stops) {
                release(gate);
            }
            if (next->state() == 1) {
                break;
            }
        }
        EXPECT_EQ(service->wait(), failure.status);
        EXPECT_EQ(collapsed_states(reports), failure.states);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), failure.exit_code);
        for (const report& each : reports) {
            if (each.state() == 3 && each.number("X_ORVO_CHECKPOINT") == 1) {
                EXPECT_EQ(each.number("X_ORVO_WAIT_HINT"),
                          failure.stop_timeout[0] != '\0' ? std::stol(failure.stop_timeout) : 5000);
            }
        }
        std::vector<std::string> lines;
        for (const std::string& line : failure.lines) {
            lines.push_back(placed(line, places));
        }
        const bool log_failed = failure.exit_code == 82;
        const std::string log = fs::exists(stderr_log()) ? read_file(stderr_log()) : "";
        EXPECT_EQ(error_lines(log_failed ? console_err() : log), lines) << log << console_err();
        if (!log_failed) {
            EXPECT_EQ(console_err(), "");
        }
        std::vector<std::string> java;
        for (const std::string& line : failure.java) {
            java.push_back(placed(line, places));
        }
        const std::string out = fs::exists(stdout_log()) ? read_file(stdout_log()) : "";
        EXPECT_EQ(lines_of(out), java) << out;
    }
}

} // namespace
} // namespace orvo_test
