// Slow starts and slow stops against the settings' start_timeout and stop_timeout: the
// manager is told how much time is left, hears progress while a stop is under way, and a
// start or stop that runs out of time ends the service with 1053 close to its deadline.
#include <poll.h>

#include <chrono>
#include <csignal>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_time_limits = service_test;
using test_clock = std::chrono::steady_clock;

// How late after its deadline a service may still be ending: JVM threads, a busy machine
// (only a bound: a watch that never fires would leave it running until the guard time).
constexpr long late_margin_ms = 30000;

struct slow_case {
    const char* name;
    const char* start_timeout;
    const char* stop_timeout;
    const char* parameter;    // "{gate}" is replaced by a named pipe's path
    bool stop_once_running;   // SIGTERM once running
    int release_after_stops;  // release the gate after this many stop-pending reports; 0: never
    std::vector<long> states; // the reports' states, a run of progress reports as one
    long exit_code;
    int status;
    const char* line; // what the stderr log ends with; "" for nothing of orvo's
    long limit_ms;    // the deadline that ends the service; 0 when none does
};

// clang-format off
const slow_case slow_cases[] = {
    {"a start and a stop inside their budgets", "60000", "60000", "", true, 0, {2, 2, 2, 4, 3, 1}, 0, 0, "", 0},
    {"a slow stop inside its budget reports progress", "60000", "20000", "stop-waits-for:{gate}", true, 2, {2, 2, 2, 4, 3, 1}, 0, 0, "", 0},
    {"a start that never returns", "1500", "", "start-waits-for:{gate}", false, 0, {2, 2, 2, 1}, 1053, 75, "error: start did not complete within 1500 ms.\r\n", 1500},
    {"a stop method that never returns", "", "1500", "stop-waits-for:{gate}", true, 0, {2, 2, 4, 3, 1}, 1053, 75, "error: stop did not complete within 1500 ms.\r\n", 1500},
    {"a thread that is no daemon holds up the destruction", "", "1500", "thread-waits-for:{gate}", true, 0, {2, 2, 4, 3, 1}, 1053, 75, "error: stop did not complete within 1500 ms.\r\n", 1500},
};
// clang-format on

std::vector<long> collapsed_states(const std::vector<report>& reports) {
    std::vector<long> states;
    for (const report& each : reports) {
        if (states.empty() || states.back() != each.state() || each.state() == 2) {
            states.push_back(each.state());
        }
    }
    return states;
}

// What holds for every report under a deadline: no wait hint promises more time than the
// setting gives, systemd is asked for exactly the wait hint, and a stop's reports count
// their check-points up from 1 with ever less time left.
void expect_honest_reports(const std::vector<report>& reports, const slow_case& slow) {
    long stop_check_point = 0;
    long last_hint = 0;
    for (const report& each : reports) {
        const long hint = each.number("X_ORVO_WAIT_HINT");
        if (each.state() == 2 || each.state() == 3) {
            EXPECT_EQ(each.fields.at("EXTEND_TIMEOUT_USEC"), std::to_string(hint * 1000));
        }
        if (each.state() == 2 && each.number("X_ORVO_CHECKPOINT") == 3) {
            EXPECT_GT(hint, 0);
            EXPECT_LE(hint, std::stol(slow.start_timeout));
        }
        if (each.state() == 3) {
            EXPECT_EQ(each.number("X_ORVO_CHECKPOINT"), ++stop_check_point);
            const long limit = std::stol(slow.stop_timeout);
            EXPECT_LE(hint, stop_check_point == 1 ? limit : last_hint);
            EXPECT_EQ(hint == limit, stop_check_point == 1);
            last_hint = hint;
        }
    }
}

TEST_F(service_time_limits, starts_and_stops_are_reported_honestly_and_kept_to_their_deadline) {
    for (const slow_case& slow : slow_cases) {
        SCOPED_TRACE(slow.name);
        const std::string gate =
            make_pipe(std::string("gate-") + std::to_string(&slow - slow_cases));
        service_settings settings = default_settings();
        settings.start_timeout = slow.start_timeout;
        settings.stop_timeout = slow.stop_timeout;
        std::string parameter = slow.parameter;
        if (const std::string::size_type at = parameter.find("{gate}"); at != std::string::npos) {
            parameter.replace(at, 6, gate);
        }
        settings.parameters = {parameter};
        write_file(stderr_log(), "");
        test_clock::time_point requested = test_clock::now();
        auto service = start(settings);
        std::vector<report> reports;
        int stop_reports = 0;
        while (std::optional<report> next = listener.next(service.get())) {
            reports.push_back(*next);
            if (next->state() == 4 && slow.stop_once_running) {
                requested = test_clock::now();
                service->signal(SIGTERM);
            }
            if (next->state() == 3 && ++stop_reports == slow.release_after_stops) {
                release(gate);
            }
            if (next->state() == 1) {
                break;
            }
        }
        EXPECT_EQ(service->wait(), slow.status);
        const long took =
            std::chrono::duration_cast<std::chrono::milliseconds>(test_clock::now() - requested)
                .count();
        EXPECT_EQ(collapsed_states(reports), slow.states);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), slow.exit_code);
        expect_honest_reports(reports, slow);
        if (slow.release_after_stops != 0) {
            EXPECT_GE(stop_reports, slow.release_after_stops);
        }
        const std::string log = read_file(stderr_log());
        const std::string line = slow.line;
        EXPECT_EQ(log.substr(log.size() >= line.size() ? log.size() - line.size() : 0), line);
        EXPECT_EQ(log.find("error:"), line.empty() ? std::string::npos : log.size() - line.size());
        if (slow.limit_ms != 0) {
            EXPECT_GE(took, slow.limit_ms);
            EXPECT_LT(took, slow.limit_ms + late_margin_ms);
        }
    }
}

// A start limit that runs out while the settings are read, or at any moment after: the
// manager hears the limit (check-point 3) before the end it brings, and the line goes to
// the stderr log if it is open by then, else to the standard error orvo was started with.
// A comment that grows from run to run makes the reading last from well under the limit
// to well over it.
TEST_F(service_time_limits, a_start_limit_shorter_than_reading_the_settings_is_reported_first) {
    const std::string line = "error: start did not complete within 1 ms.\r\n";
    service_settings settings = default_settings();
    settings.start_timeout = "1";
    const std::string xml = settings_xml(settings);
    for (int run = 0; run < 12; ++run) {
        SCOPED_TRACE(run);
        fs::remove(stderr_log());
        const std::string padding =
            "<!--" + std::string(static_cast<std::size_t>(run) * 250000, ' ') + "-->\n";
        write_file(folder / "settings.xml", padding + xml.substr(xml.find("<setting>")));
        auto service = start_with({folder / "settings.xml"});
        const std::vector<report> reports = reports_until_stopped(listener, service.get());
        EXPECT_EQ(service->wait(), 75);
        ASSERT_EQ(reports.size(), 4u);
        expect_report(reports[2], 2, 0, 0, 3, reports[2].number("X_ORVO_WAIT_HINT"));
        EXPECT_LE(reports[2].number("X_ORVO_WAIT_HINT"), 1);
        EXPECT_EQ(reports[3].number("X_ORVO_EXIT_CODE"), 1053);
        const std::string log = fs::exists(stderr_log()) ? read_file(stderr_log()) : "";
        EXPECT_EQ(log + console_err(), line) << "log: " << log;
    }
}

// An attribute the service cannot use is a settings error like any other: nothing starts.
TEST_F(service_time_limits, a_bad_time_limit_keeps_the_settings_from_loading) {
    service_settings settings = default_settings();
    settings.stop_timeout = "0";
    auto service = start(settings);
    const std::vector<report> reports = reports_until_stopped(listener, service.get());
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), 1610);
    EXPECT_EQ(service->wait(), 78);
    EXPECT_NE(console_err().find("\"stop_timeout\""), std::string::npos) << console_err();
    EXPECT_NE(console_err().find("\"0\""), std::string::npos) << console_err();
}

} // namespace
} // namespace orvo_test
