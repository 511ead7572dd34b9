// Every way the service can end besides a stop request: the Java program ends the Java VM
// (System.exit, Runtime.halt), the VM refuses an option while it is created and exits, the
// VM crashes. The service manager must hear stopped once, with a code that tells a clean
// end from a failure, or, after a crash, nothing; the log says why; the exit status
// carries the code.
#include <poll.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_end = service_test;

struct java_end {
    const char* name;
    std::vector<std::string> parameters; // "{gate}" is replaced by a named pipe's path
    bool stop_once_running;              // SIGTERM after running
    bool release_once_running;           // release the gate after running
    std::vector<long> states;            // every report, in order
    long exit_code;
    long specific;   // the service-specific exit code; 0: the report carries none
    int status;      // the process's exit status
    bool hooks_ran;  // the Java shutdown hooks ran before the end
    const char* log; // the stderr log after the start method's own first line
};

const std::string before_running =
    "error: the Java VM exited with status 0 before the service was running.\r\n";

// clang-format off
const java_end java_ends[] = {
    // The service never ran: no status makes that a normal end.
    {"exit(0) in start", {"exit-in-start:0"}, false, false, {2, 2, 1}, 1067, 0, 70, true, before_running.c_str()},
    {"halt(0) in start", {"halt-in-start:0"}, false, false, {2, 2, 1}, 1067, 0, 70, false, before_running.c_str()},
    {"halt(3) in start", {"halt-in-start:3"}, false, false, {2, 2, 1}, 1066, 3, 3, false,
     "error: the Java VM exited with status 3.\r\n"},
    // orvo's line begins a line of its own, after what the program left unfinished.
    {"exit(3) in start after half a line", {"say-err:connecting to db...", "exit-in-start:3"}, false, false, {2, 2, 1}, 1066, 3, 3, true,
     "connecting to db...\r\nerror: the Java VM exited with status 3.\r\n"},
    {"exit(0) in stop", {"exit-in-stop:0"}, true, false, {2, 2, 4, 3, 1}, 0, 0, 0, true,
     "error: the Java VM exited with status 0.\r\n"},
    {"halt(-1) in stop", {"halt-in-stop:-1"}, true, false, {2, 2, 4, 3, 1}, 1066, 4294967295, 255, false,
     "error: the Java VM exited with status -1.\r\n"},
    // 256 has no bit in the eight that reach the shell: the status must still be a failure.
    {"exit(256) on a thread while running", {"exit-when:{gate}:256"}, false, true, {2, 2, 4, 1}, 1066, 256, 1, true,
     "error: the Java VM exited with status 256.\r\n"},
};
// clang-format on

// Reads the reports of a service run to its end, acting as the case asks once it runs.
std::vector<report> run_to_end(notify_listener& listener, service_process& service,
                               const java_end& end, const std::string& gate) {
    std::vector<report> reports;
    while (std::optional<report> next = listener.next(&service)) {
        reports.push_back(*next);
        if (next->state() == 1) {
            break;
        }
        if (next->state() == 4 && end.stop_once_running) {
            service.signal(SIGTERM);
        }
        if (next->state() == 4 && end.release_once_running) {
            release(gate);
        }
    }
    return reports;
}

std::vector<long> states_of(const std::vector<report>& reports) {
    std::vector<long> states;
    for (const report& each : reports) {
        states.push_back(each.state());
    }
    return states;
}

TEST_F(service_end, the_java_program_ending_the_vm_is_reported_once_with_its_status) {
    for (const java_end& end : java_ends) {
        SCOPED_TRACE(end.name);
        const std::string gate = make_pipe(std::string("gate-") + std::to_string(&end - java_ends));
        service_settings settings = default_settings();
        for (std::string parameter : end.parameters) {
            const std::string::size_type at = parameter.find("{gate}");
            settings.parameters.push_back(at == std::string::npos ? parameter
                                                                  : parameter.replace(at, 6, gate));
        }
        write_file(stdout_log(), "");
        write_file(stderr_log(), "");
        auto service = start(settings);
        const std::vector<report> reports = run_to_end(listener, *service, end, gate);
        EXPECT_EQ(states_of(reports), end.states);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), end.exit_code);
        EXPECT_EQ(reports.back().number("EXIT_STATUS"), end.exit_code);
        EXPECT_EQ(reports.back().number("X_ORVO_SERVICE_EXIT_CODE"),
                  end.specific == 0 ? -1 : end.specific);
        EXPECT_EQ(service->wait(), end.status);
        EXPECT_EQ(read_file(stderr_log()), "start on stderr\n" + std::string(end.log));
        const std::vector<std::string> out = lines_of(read_file(stdout_log()));
        EXPECT_EQ(!out.empty() && out.back() == "shutdown hook", end.hooks_ran);
    }
}

TEST_F(service_end, an_option_the_vm_cannot_use_is_a_failed_creation) {
    const std::vector<std::vector<std::string>> mistakes = {
        {"-Xmx1m"},
        {"-Xms2g", "-Xmx1g"},
        {"-XX:+UseParallelGC"}, // a second collector: the settings choose the serial one
        {"-Xmx100000g"},
        {"-javaagent:" + folder / "no-such-agent.jar"},
    };
    for (const std::vector<std::string>& mistake : mistakes) {
        SCOPED_TRACE(mistake.front());
        service_settings settings = default_settings();
        settings.options.insert(settings.options.end(), mistake.begin(), mistake.end());
        write_file(stderr_log(), "");
        auto service = start(settings);
        const std::vector<report> reports = reports_until_stopped(listener, service.get());
        EXPECT_EQ(states_of(reports), (std::vector<long>{2, 2, 1}));
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back().number("X_ORVO_EXIT_CODE"), 1627);
        EXPECT_EQ(service->wait(), 69);
        // The VM says why in the stdout log; the host's line closes the stderr log.
        const std::string log = read_file(stderr_log());
        const std::string line = "error: couldn't create JavaVM.\r\n";
        EXPECT_EQ(log.size() >= line.size() ? log.substr(log.size() - line.size()) : log, line)
            << log;
        EXPECT_EQ(log.find(line), log.size() - line.size()) << log;
    }
}

TEST_F(service_end, a_crash_of_the_vm_says_so_and_reports_nothing_more) {
    // The VM aborts the process, as it does by default; no core file is wanted here.
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    service_settings settings = default_settings();
    settings.options.push_back("-XX:ErrorFile=" + folder / "hs_err.log");
    settings.parameters = {"crash-in-start"};
    auto service = start(settings);
    const std::vector<report> reports = reports_until_stopped(listener, service.get());
    // Ended by a signal, without a stopped report: a crash, for the service manager too.
    EXPECT_EQ(states_of(reports), (std::vector<long>{2, 2}));
    EXPECT_EQ(service->wait(), -1);
    const std::string log = read_file(stderr_log());
    EXPECT_NE(log.find("error: the Java VM aborted.\r\n"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(folder / "hs_err.log"));
}

// The VM's suspend-resume signal is SIGUSR2, or the one _JAVA_SR_SIGNUM chooses, in orvo's
// own environment or in the settings' (which the VM reads when it is created).
struct vm_signal {
    const char* name;
    int number;
    const char* in_settings;    // _JAVA_SR_SIGNUM of an env element, or null
    const char* in_environment; // _JAVA_SR_SIGNUM of orvo's own environment, or null
};

const vm_signal vm_signals[] = {
    {"SIGUSR2", SIGUSR2, nullptr, nullptr},
    {"40, chosen by the settings", 40, "40", nullptr},
    {"40, chosen by orvo's environment", 40, nullptr, "40"},
};

TEST_F(service_end, signals_that_the_vm_keeps_for_its_own_threads_do_not_crash_it) {
    for (const vm_signal& vm : vm_signals) {
        SCOPED_TRACE(vm.name);
        service_settings settings = default_settings();
        if (vm.in_settings != nullptr) {
            settings.env = {{"_JAVA_SR_SIGNUM", vm.in_settings}};
        }
        if (vm.in_environment != nullptr) {
            setenv("_JAVA_SR_SIGNUM", vm.in_environment, 1);
        }
        write_file(stdout_log(), "");
        auto service = start(settings);
        unsetenv("_JAVA_SR_SIGNUM");
        expect_running();
        service->signal(vm.number); // the VM's suspend-resume signal, from another process
        service->signal(vm.number);
        service->signal(SIGQUIT); // a thread dump, to the stdout log
        service->signal(SIGHUP);
        const std::optional<report> answer = listener.next(service.get());
        ASSERT_TRUE(answer);
        expect_report(*answer, 4, 7, 0, 0, 0);
        // The VM's own thread writes the dump when it gets to it: a stop before that would
        // destroy the VM first.
        EXPECT_TRUE(wait_for_writes(folder.path().string(), [this] {
            return read_file(stdout_log()).find("Full thread dump") != std::string::npos;
        }));
        expect_stop_on(*service, SIGTERM);
    }
}

TEST_F(service_end, a_service_manager_that_stops_reading_cannot_hold_the_service) {
    auto service = start(default_settings());
    expect_running();
    // Nothing is read from here on: the socket's queue fills, and a report waits for room
    // until it counts as failed, which runs the stop path.
    for (int i = 0; i < 20; ++i) {
        service->signal(SIGHUP);
        while (service->signal_pending(SIGHUP)) {
            std::this_thread::yield(); // one request each: pending signals merge
        }
    }
    service->signal(SIGTERM);
    pollfd ended{service->pidfd(), POLLIN, 0};
    ASSERT_EQ(poll(&ended, 1, 120 * 1000), 1) << "the service did not end";
    // The report that found no room failed with EAGAIN: a failure, not a normal stop.
    EXPECT_EQ(service->wait(), EAGAIN);
    const std::vector<std::string> out = lines_of(read_file(stdout_log()));
    EXPECT_EQ(out,
              (std::vector<std::string>{"start ", "started", "stop ", "stopped", "shutdown hook"}));
    EXPECT_EQ(console_err(), "error: couldn't send a status report to the service manager: "
                             "Resource temporarily unavailable.\r\n");
}

// Signals interrupt a report that waits for room; the report's time limit must run on
// across them, not begin again with each one.
TEST_F(service_end, signals_while_a_report_waits_for_room_do_not_extend_its_time_limit) {
    auto service = start(default_settings());
    expect_running();
    listener.stall();
    const std::string said = "error: couldn't send a status report to the service manager: "
                             "Resource temporarily unavailable.\r\n";
    // A request a tenth of a second, the first of them answered by the report that waits,
    // until the failure is said; a limit that began again with each signal would never
    // run out while they come.
    pollfd ended{service->pidfd(), POLLIN, 0};
    bool failed = false;
    for (int i = 0; i < 600 && !failed && poll(&ended, 1, 0) == 0; ++i) {
        service->signal(SIGHUP);
        poll(&ended, 1, 100);
        failed = console_err() == said;
    }
    EXPECT_TRUE(failed) << "the report never failed while signals came: " << console_err();
    EXPECT_EQ(service->wait(), EAGAIN);
    EXPECT_EQ(console_err(), said);
}

// The stop method ends the VM while the service manager reads nothing, so that the stopped
// report waits for room past the stop's deadline: both ends are under way, and only one
// may be told. Which one wins depends on the machine's pace; the log and the exit status
// must tell the same one, once.
TEST_F(service_end, an_exit_and_a_deadline_at_once_end_the_service_once_with_one_line) {
    const std::string gate = make_pipe("gate");
    service_settings settings = default_settings();
    settings.stop_timeout = "900"; // below the first progress report, which would wait too
    settings.parameters = {"stop-waits-for:" + gate, "exit-in-stop:9"};
    auto service = start(settings);
    expect_running();
    service->signal(SIGTERM);
    const std::optional<report> stopping = listener.next(service.get());
    ASSERT_TRUE(stopping);
    EXPECT_EQ(stopping->state(), 3);
    listener.stall();
    release(gate);
    const int status = service->wait();
    const std::string log = read_file(stderr_log());
    const std::string exited = "error: the Java VM exited with status 9.\r\n";
    const std::string late = "error: stop did not complete within 900 ms.\r\n";
    EXPECT_EQ(log, "start on stderr\n" + (status == 75 ? late : exited)) << "status " << status;
    EXPECT_TRUE(status == 9 || status == 75) << status;
}

} // namespace
} // namespace orvo_test
