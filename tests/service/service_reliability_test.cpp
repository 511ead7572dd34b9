// Heavy use: many lines from many threads, many starts and stops.
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <sstream>
#include <thread>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_reliability = service_test;

// Every line "PREFIX T I" for T < threads and I < lines appears once, each thread's in order.
void expect_every_line(const std::string& log, const std::string& prefix, int threads, int lines) {
    std::vector<int> next(static_cast<std::size_t>(threads), 0);
    long unexpected = 0;
    for (const std::string& line : lines_of(read_file(log))) {
        std::istringstream fields(line);
        std::string word;
        int thread = -1;
        int index = -1;
        fields >> word >> thread >> index;
        if (word != prefix || thread < 0 || thread >= threads ||
            index != next[static_cast<std::size_t>(thread)]) {
            ++unexpected;
            continue;
        }
        ++next[static_cast<std::size_t>(thread)];
    }
    EXPECT_EQ(unexpected, 0) << log;
    for (int thread = 0; thread < threads; ++thread) {
        EXPECT_EQ(next[static_cast<std::size_t>(thread)], lines) << log << ", thread " << thread;
    }
}

// Whether run `run` ended with a clean stop: stopped reported with exit code 0, and exit
// status 0. A failure is added, naming the run.
bool stopped_cleanly(int run, const std::vector<report>& reports, int status) {
    if (!reports.empty() && reports.back().state() == 1 &&
        reports.back().number("X_ORVO_EXIT_CODE") == 0 && status == 0) {
        return true;
    }
    ADD_FAILURE() << "run " << run << ": " << reports.size() << " reports, the last in state "
                  << (reports.empty() ? -1 : reports.back().state()) << ", status " << status;
    return false;
}

// Processes whose command line names `text`.
std::vector<std::string> processes_naming(const std::string& text) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (read_file(entry.path().string() + "/cmdline").find(text) != std::string::npos) {
            found.push_back(name);
        }
    }
    return found;
}

TEST_F(service_reliability, lines_written_by_many_threads_to_both_streams_all_reach_the_logs) {
    constexpr int threads = 4;
    constexpr int lines = 25000; // 100,000 lines on each stream
    service_settings settings = default_settings();
    settings.class_name = "orvotest/Flood";
    settings.parameters = {std::to_string(threads), std::to_string(lines)};
    auto service = start(settings);
    expect_running(); // the start method returns once every thread has written
    expect_stop_on(*service, SIGTERM);
    expect_every_line(stdout_log(), "out", threads, lines);
    expect_every_line(stderr_log(), "err", threads, lines);
}

TEST_F(service_reliability, fifty_starts_and_stops_leave_every_cycle_in_the_logs_in_order) {
    constexpr int cycles = 50;
    std::vector<std::string> expected;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const std::string name = "cycle-" + std::to_string(cycle);
        service_settings settings = default_settings();
        settings.parameters = {name};
        auto service = start(settings);
        expect_running();
        expect_stop_on(*service, SIGTERM);
        if (HasFailure()) {
            return;
        }
        expected.insert(expected.end(),
                        {"start " + name, "started", "stop " + name, "stopped", "shutdown hook"});
    }
    EXPECT_EQ(lines_of(read_file(stdout_log())), expected);
    EXPECT_EQ(lines_of(read_file(stderr_log())),
              std::vector<std::string>(cycles, "start on stderr"));
    EXPECT_EQ(processes_naming(folder.path().string()), std::vector<std::string>{});
}

// One stop request at each of `runs` moments of the start, measured from the creation of
// the stderr log, right before the Java VM is created: every other run within its first
// millisecond and a half, the others spread over the rest of the start and a little past
// running. The delays only place the signal; what is checked does not depend on where it
// lands: every run must stop cleanly.
TEST_F(service_reliability, a_stop_request_at_any_moment_of_the_start_is_carried_out) {
    constexpr int runs = 300;
    using clock = std::chrono::steady_clock;
    clock::duration start_time = clock::duration::max();
    for (int run = 0; run < 3; ++run) {
        fs::remove(stderr_log());
        creation_watch log_created(folder.path().string(), "err.log");
        auto service = start(default_settings());
        ASSERT_TRUE(log_created.wait());
        const clock::time_point began = clock::now();
        expect_running();
        start_time = std::min(start_time, clock::now() - began);
        expect_stop_on(*service, SIGTERM);
    }
    int lost = 0;
    for (int run = 0; run < runs && lost == 0; ++run) {
        fs::remove(stderr_log());
        creation_watch log_created(folder.path().string(), "err.log");
        auto service = start(default_settings());
        ASSERT_TRUE(log_created.wait()) << "run " << run;
        const int step = run / 2;
        std::this_thread::sleep_for(run % 2 == 0 ? std::chrono::microseconds(10) * step
                                                 : start_time * 6 / 5 * step / (runs / 2));
        const int stop = run % 4 < 2 ? SIGTERM : SIGINT;
        service->signal(stop);
        while (service->signal_pending(stop)) {
            std::this_thread::yield();
        }
        // The stop has been taken: it must come, however late its handler gets to run on
        // a busy machine. A lost one leaves the service running until the guard time.
        const std::vector<report> reports = reports_until_stopped(listener, service.get());
        if (!reports.empty() && reports.back().state() == 4) {
            service->signal(SIGTERM); // the stop was lost: end the run
            reports_until_stopped(listener, service.get());
        }
        lost += stopped_cleanly(run, reports, service->wait()) ? 0 : 1;
    }
    EXPECT_EQ(lost, 0);
}

// SIGUSR2 is the Java VM's suspend-resume signal: sent from outside while the VM is being
// created, it must neither end the process (its default action, before anyone handles it)
// nor reach the VM's handler on a thread the VM does not know yet (a crash). Each run
// floods the service with it from its first report until it runs, then stops it.
TEST_F(service_reliability, sigusr2_floods_during_the_start_neither_crash_nor_end_the_service) {
    constexpr int runs = 150;
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    service_settings settings = default_settings();
    settings.options.push_back("-XX:ErrorFile=" + folder / "hs_err_%p.log");
    int failed = 0;
    for (int run = 0; run < runs && failed < 3; ++run) {
        auto service = start(settings);
        std::vector<report> reports;
        std::optional<report> next = listener.next(service.get());
        std::atomic<bool> flooding{true};
        // Thousands of signals in a start, but paced: a bare loop would keep the machine
        // busy delivering them, and the start would take minutes.
        std::thread flood([&service, &flooding] {
            while (flooding.load()) {
                service->signal(SIGUSR2);
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            }
        });
        for (; next; next = listener.next(service.get())) {
            reports.push_back(*next);
            if (next->state() == 4) {
                flooding.store(false);
                service->signal(SIGTERM);
            }
            if (next->state() == 1) {
                break;
            }
        }
        flooding.store(false);
        flood.join();
        failed += stopped_cleanly(run, reports, service->wait()) ? 0 : 1;
    }
    EXPECT_EQ(failed, 0);
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        EXPECT_EQ(entry.path().filename().string().rfind("hs_err", 0), std::string::npos)
            << read_file(entry.path().string());
    }
}

} // namespace
} // namespace orvo_test
