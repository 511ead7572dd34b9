// The Java program talking to orvo through orvo.Service (the test class orvotest/Api): its
// progress and words reach the service manager in order, with the time limits kept; a
// stop it asks for stops the service once, with its code; calls at any moment, racing a
// stop request or a deadline, leave one stopped report and nothing after it.
#include <algorithm>
#include <csignal>
#include <set>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

class service_api : public service_test {
  protected:
    service_settings api_settings(const std::vector<std::string>& parameters) const {
        service_settings settings = default_settings();
        settings.class_name = "orvotest/Api";
        settings.parameters = parameters;
        // The words it says beyond ASCII reach the log as they are, whatever the locale.
        settings.options.push_back("-Dfile.encoding=UTF-8");
        return settings;
    }
    // The reports of a service run to its end, stopped with SIGTERM once it runs.
    std::vector<report> stopped_once_running(service_process& service) {
        std::vector<report> reports;
        while (std::optional<report> next = listener.next(&service)) {
            reports.push_back(*next);
            if (next->state() == 4) {
                service.signal(SIGTERM);
            }
        }
        return reports;
    }
    std::set<std::string> stdout_lines() const {
        const std::vector<std::string> lines = lines_of(read_file(stdout_log()));
        return std::set<std::string>(lines.begin(), lines.end());
    }
    int count_of(const std::string& line) const {
        int count = 0;
        for (const std::string& each : lines_of(read_file(stdout_log()))) {
            count += each == line ? 1 : 0;
        }
        return count;
    }
};

// What holds of every report: a pending one with a wait hint asks systemd for that much
// more time, and no other does; running says READY.
void expect_consistent(const report& got) {
    const long state = got.state();
    const long hint = got.number("X_ORVO_WAIT_HINT");
    if ((state == 2 || state == 3) && hint > 0) {
        EXPECT_EQ(got.number("EXTEND_TIMEOUT_USEC"), hint * 1000);
    } else {
        EXPECT_FALSE(got.has("EXTEND_TIMEOUT_USEC"));
    }
    EXPECT_EQ(got.has("READY"), state == 4);
}

struct expected_report {
    long state;
    long check_point;
    long least_hint; // the wait hint, from least to most
    long most_hint;
    const char* status;
};

struct api_run {
    const char* name;
    const char* start_timeout;
    std::vector<std::string> parameters;
    std::vector<expected_report> reports; // every report, SIGTERM sent once running
    std::vector<std::string> said;        // lines of the stdout log, in order
};

// Words longer than a status line takes: 300 two-byte characters, and 255 letters and a
// character beyond the basic plane, whose two UTF-16 units the cut falls between.
std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}
const std::string long_words = repeated("\xC3\xA9", 300);
const std::string cut_pair = repeated("a", 255) + "\xF0\x9F\x98\x80";
const std::string starting_long = "Starting, " + repeated("\xC3\xA9", 256);
const std::string starting_cut = "Starting, " + repeated("a", 255);
const std::string said_long = "status(" + long_words + ") -> true";
const std::string said_cut = "status(" + cut_pair + ") -> true";

// clang-format off
const api_run api_runs[] = {
    {"progress and words during the start and the stop", "",
     {"start:starting:30000", "start:status:loading\tcache", "start:starting:20000", "start:stopping:1000",
      "start:starting:0", "start:status:loading\tcache", "stop:stopping:15000", "stop:status:draining", "stop:starting:1000"},
     {{2, 1, 5000, 5000, "Starting (check-point 1)"},
      {2, 2, 1000, 1000, "Starting (check-point 2)"},
      {2, 3, 30000, 30000, "Starting (check-point 3)"},
      {2, 3, 0, 0, "Starting, loading\\tcache"},
      {2, 4, 20000, 20000, "Starting, loading\\tcache"},
      {4, 0, 0, 0, "Running, loading\\tcache"},
      {3, 1, 5000, 5000, "Stopping, loading\\tcache"},
      {3, 2, 15000, 15000, "Stopping, loading\\tcache"},
      {3, 2, 0, 0, "Stopping, draining"},
      {1, 0, 0, 0, "Stopped, draining"}},
     {"start", "starting(30000) -> true", "status(loading\tcache) -> true", "starting(20000) -> true",
      "stopping(1000) -> false", "starting(0) -> false", "status(loading\tcache) -> true", "started",
      "stop", "stopping(15000) -> true", "status(draining) -> true", "starting(1000) -> false", "stopped"}},
    // The program cannot move the operator's limit: more than is left is the time left.
    // Words are cut to a line's 256 UTF-16 units, never within a character; "" clears them.
    {"a start_timeout stays the limit", "60000",
     {"start:starting:30000", "start:starting:600000", "start:status:", "start:status:" + long_words,
      "start:status:" + cut_pair, "start:status:", "start:hosted"},
     {{2, 1, 5000, 5000, "Starting (check-point 1)"},
      {2, 2, 1000, 1000, "Starting (check-point 2)"},
      {2, 3, 1, 60000, "Starting (check-point 3)"},
      {2, 4, 30000, 30000, "Starting (check-point 4)"},
      {2, 5, 30001, 60000, "Starting (check-point 5)"},
      {2, 5, 0, 0, starting_long.c_str()},
      {2, 5, 0, 0, starting_cut.c_str()},
      {2, 5, 0, 0, "Starting (check-point 5)"},
      {4, 0, 0, 0, "Running"},
      {3, 1, 5000, 5000, "Stopping"},
      {1, 0, 0, 0, "Stopped"}},
     {"start", "starting(30000) -> true", "starting(600000) -> true", "status() -> true", said_long,
      said_cut, "status() -> true", "hosted() -> true", "started", "stop", "stopped"}},
};
// clang-format on

TEST_F(service_api, progress_and_words_reach_the_manager_in_order_within_the_limits) {
    for (const api_run& run : api_runs) {
        SCOPED_TRACE(run.name);
        service_settings settings = api_settings(run.parameters);
        settings.start_timeout = run.start_timeout;
        write_file(stdout_log(), "");
        auto service = start(settings);
        const std::vector<report> reports = stopped_once_running(*service);
        EXPECT_EQ(service->wait(), 0);
        ASSERT_EQ(reports.size(), run.reports.size());
        for (std::size_t i = 0; i < reports.size(); ++i) {
            SCOPED_TRACE("report " + std::to_string(i));
            const expected_report& want = run.reports[i];
            EXPECT_EQ(reports[i].state(), want.state);
            EXPECT_EQ(reports[i].number("X_ORVO_CHECKPOINT"), want.check_point);
            EXPECT_GE(reports[i].number("X_ORVO_WAIT_HINT"), want.least_hint);
            EXPECT_LE(reports[i].number("X_ORVO_WAIT_HINT"), want.most_hint);
            EXPECT_EQ(reports[i].fields.at("STATUS"), want.status);
            expect_consistent(reports[i]);
        }
        EXPECT_EQ(lines_of(read_file(stdout_log())), run.said);
    }
}

// requestStop from a thread of the program while it runs: the stop method once, then
// stopped with the code; a second request, and one from the stop method, change nothing.
// Codes that orvo uses as statuses of its own (70) pass as they are.
TEST_F(service_api, a_stop_asked_for_while_running_stops_once_with_its_code) {
    const struct {
        int code;
        long exit_code;
        long specific; // -1: none in the report
        const char* line;
    } codes[] = {
        {0, 0, -1, ""},
        {3, 1066, 3, "error: the Java program asked for a stop with exit code 3.\r\n"},
        {70, 1066, 70, "error: the Java program asked for a stop with exit code 70.\r\n"},
    };
    for (const auto& code : codes) {
        SCOPED_TRACE(code.code);
        const std::string gate = make_pipe("gate-" + std::to_string(code.code));
        const std::string n = std::to_string(code.code);
        write_file(stdout_log(), "");
        write_file(stderr_log(), "");
        auto service = start(
            api_settings(placed({"thread={gate}:request-stop:" + n, "thread={gate}:request-stop:5",
                                 "thread={gate}:starting:1000", "stop:request-stop:6"},
                                gate)));
        expect_running();
        release(gate);
        const std::vector<report> reports = reports_until_stopped(listener, service.get());
        ASSERT_EQ(reports.size(), 2u);
        expect_report(reports[0], 3, 7, 0, 1, 5000);
        expect_report(reports[1], 1, 7, code.exit_code, 0, 0);
        EXPECT_EQ(reports[1].number("X_ORVO_SERVICE_EXIT_CODE"), code.specific);
        EXPECT_EQ(reports[1].number("EXIT_STATUS"), code.exit_code);
        EXPECT_EQ(service->wait(), code.code);
        const std::set<std::string> said = stdout_lines();
        for (const std::string& line :
             {"requestStop(" + n + ") -> true", std::string("requestStop(5) -> false"),
              std::string("starting(1000) -> false"), std::string("requestStop(6) -> false")}) {
            EXPECT_EQ(said.count(line), 1u) << line;
        }
        EXPECT_EQ(count_of("stop"), 1);
        EXPECT_EQ(count_of("stopped"), 1);
        EXPECT_EQ(read_file(stderr_log()), code.line);
    }
}

// requestStop from the start method fails the start once the method has returned: the stop
// method runs, the service never runs, and the code is the start's result (0 asks for the
// end of a service that never ran, which is no normal end).
TEST_F(service_api, a_stop_asked_for_in_the_start_method_fails_the_start) {
    const struct {
        int code;
        long exit_code;
        long specific;
        int status;
    } codes[] = {{0, 1067, -1, 70}, {5, 1066, 5, 5}};
    for (const auto& code : codes) {
        SCOPED_TRACE(code.code);
        const std::string n = std::to_string(code.code);
        write_file(stdout_log(), "");
        write_file(stderr_log(), "");
        auto service = start(
            api_settings({"start:request-stop:" + n, "start:request-stop:7", "start:hosted"}));
        const std::vector<report> reports = reports_until_stopped(listener, service.get());
        ASSERT_EQ(reports.size(), 4u);
        EXPECT_EQ(reports[2].state(), 3);
        expect_report(reports[3], 1, 7, code.exit_code, 0, 0);
        EXPECT_EQ(reports[3].number("X_ORVO_SERVICE_EXIT_CODE"), code.specific);
        EXPECT_EQ(service->wait(), code.status);
        EXPECT_EQ(lines_of(read_file(stdout_log())),
                  (std::vector<std::string>{"start", "requestStop(" + n + ") -> true",
                                            "requestStop(7) -> false", "hosted() -> true",
                                            "started", "stop", "stopped"}));
        EXPECT_EQ(read_file(stderr_log()),
                  "error: the Java program asked for a stop with exit code " + n +
                      " before the service was running.\r\n");
    }
}

// Four threads call every method over and over while the service stops: by a SIGTERM that
// races their requestStop(3), or against a deadline. One stopped report, the last; its code
// is the one whose stop came first; no wait hint beyond a limit.
TEST_F(service_api, calls_racing_a_stop_request_or_a_deadline_leave_one_end) {
    struct race {
        const char* name;
        const char* start_timeout;
        const char* stop_timeout;
        std::vector<std::string> parameters;
        const char* sigterm_at;       // the STATUS text at which SIGTERM is sent; "": none
        std::vector<long> exit_codes; // the stopped report's, any of these
        long most_hint;               // of every pending report after check-point 2
    };
    const race races[] = {
        // Either may come first.
        {"a SIGTERM and the program's request",
         "",
         "",
         {"thread={gate}:race:4:20"},
         "Running, racing",
         {0, 1066},
         100000},
        {"a SIGTERM during the program's stop",
         "",
         "",
         {"thread={gate}:race:4:0"},
         "Stopping, racing",
         {1066},
         100000},
        {"the start's deadline",
         "1500",
         "",
         {"start:race:4:0", "start:wait:{gate}"},
         "",
         {1053},
         1500},
        {"the stop's deadline",
         "",
         "1500",
         {"thread={gate}:race:4:0", "stop:wait:{never}"},
         "",
         {1053},
         1500},
    };
    for (const race& each : races) {
        SCOPED_TRACE(each.name);
        const std::string gate = make_pipe("gate-" + std::to_string(&each - races));
        const std::string never = make_pipe("never-" + std::to_string(&each - races));
        service_settings settings =
            api_settings(placed(placed(each.parameters, gate), never, "{never}"));
        settings.start_timeout = each.start_timeout;
        settings.stop_timeout = each.stop_timeout;
        write_file(stdout_log(), "");
        auto service = start(settings);
        std::vector<report> reports;
        bool sent = false;
        while (std::optional<report> next = listener.next(service.get())) {
            reports.push_back(*next);
            if (next->state() == 4 && next->fields["STATUS"] == "Running") {
                release(gate);
            }
            if (!sent && next->fields["STATUS"] == each.sigterm_at) {
                service->signal(SIGTERM);
                sent = true;
            }
        }
        const int status = service->wait();
        ASSERT_FALSE(reports.empty());
        const report& stopped = reports.back();
        ASSERT_EQ(stopped.state(), 1) << "the last report is stopped";
        int stopped_reports = 0;
        long last_check_point = 0;
        long last_state = 0;
        for (std::size_t i = 0; i < reports.size(); ++i) {
            const report& got = reports[i];
            stopped_reports += got.state() == 1 ? 1 : 0;
            expect_consistent(got);
            const long check_point = got.number("X_ORVO_CHECKPOINT");
            if (got.state() == last_state && (got.state() == 2 || got.state() == 3)) {
                EXPECT_GE(check_point, last_check_point) << "report " << i;
            }
            if (got.state() == 3 || (got.state() == 2 && check_point > 2)) {
                EXPECT_LE(got.number("X_ORVO_WAIT_HINT"), each.most_hint) << "report " << i;
            }
            last_state = got.state();
            last_check_point = check_point;
        }
        EXPECT_EQ(stopped_reports, 1);
        const long exit_code = stopped.number("X_ORVO_EXIT_CODE");
        EXPECT_NE(std::find(each.exit_codes.begin(), each.exit_codes.end(), exit_code),
                  each.exit_codes.end())
            << exit_code;
        if (exit_code == 1066) {
            EXPECT_EQ(stopped.number("X_ORVO_SERVICE_EXIT_CODE"), 3);
        }
        // The status carries the report's code: 3 after the program's stop, 75 after a
        // deadline, 0 after the SIGTERM's.
        EXPECT_EQ(status, exit_code == 1066 ? 3 : exit_code == 1053 ? 75 : 0);
        if (sent) {
            // Whoever came first, its stop ran once, and the program heard true only if its
            // own came first.
            EXPECT_EQ(count_of("stop"), 1);
            EXPECT_EQ(
                count_of(std::string("race requestStop true ") + (exit_code == 1066 ? "1" : "0")),
                1)
                << read_file(stdout_log());
        }
    }
}

// Which orvo.Service a program's class loaders find when the program also carries the jar:
// orvo's, defined in the boot class loader, through every loader that asks its parent
// first; a loader that looks in its own jars first (a web application's) makes a copy of
// its own, which is not hosted and answers false.
TEST_F(service_api, class_loaders_that_ask_their_parents_first_find_orvos_class) {
    service_settings settings = api_settings({"start:loaders:" ORVO_API_JAR});
    settings.options[0] += ":" ORVO_API_JAR;
    auto service = start(settings);
    const std::vector<report> reports = stopped_once_running(*service);
    EXPECT_EQ(service->wait(), 0);
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports[reports.size() - 2].fields.at("STATUS"), "Stopping, parent first");
    EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), 0);
    const std::set<std::string> said = stdout_lines();
    for (const char* line : {"class path: boot loader true, hosted true",
                             "parent first: boot loader true, hosted true, status true",
                             "child first: boot loader false, hosted false, status false"}) {
        EXPECT_EQ(said.count(line), 1u) << line << "\n" << read_file(stdout_log());
    }
}

} // namespace
} // namespace orvo_test
