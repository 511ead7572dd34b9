// A service run from start to stop, as a service manager sees it and as the logs show it.
#include <algorithm>
#include <csignal>
#include <cstdlib>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_lifecycle = service_test;

TEST_F(service_lifecycle, starts_the_java_server_and_stops_it_on_sigterm) {
    service_settings settings = default_settings();
    settings.parameters = {"alpha", "beta"};
    auto service = start(settings);
    expect_running();
    // The process's standard handles are the logs while it runs.
    EXPECT_EQ(descriptor_target(service->pid(), 1), stdout_log());
    EXPECT_EQ(descriptor_target(service->pid(), 2), stderr_log());
    expect_stop_on(*service, SIGTERM);

    // The stop method runs before the Java VM is destroyed, which runs the shutdown hook.
    EXPECT_EQ(lines_of(read_file(stdout_log())),
              (std::vector<std::string>{"start alpha,beta", "started", "stop alpha,beta", "stopped",
                                        "shutdown hook"}));
    EXPECT_EQ(read_file(stderr_log()), "start on stderr\n");
    EXPECT_EQ(console_out(), "");
    EXPECT_EQ(console_err(), "");
}

TEST_F(service_lifecycle, sighup_is_answered_with_the_running_state_and_sigint_stops) {
    auto service = start(default_settings());
    expect_running();
    for (int i = 0; i < 2; ++i) {
        service->signal(SIGHUP);
        const std::optional<report> answer = listener.next();
        ASSERT_TRUE(answer);
        expect_report(*answer, 4, 7, 0, 0, 0);
    }
    expect_stop_on(*service, SIGINT);
    EXPECT_EQ(lines_of(read_file(stdout_log())),
              (std::vector<std::string>{"start ", "started", "stop ", "stopped", "shutdown hook"}));
}

TEST_F(service_lifecycle, a_stop_sent_while_start_is_pending_stops_the_service_once_it_runs) {
    const std::string start_gate = folder / "start-gate";
    auto service = start_held(start_gate);
    // Once the gate is open for writing the start method waits on it, with the Java VM
    // up; the service's start waits with it.
    {
        std::ofstream gate(start_gate);
        service->signal(SIGTERM);
        gate << "go\n";
    }
    const std::vector<report> reports = reports_until_stopped(listener);
    // Start pending twice, running, and only then the held stop.
    ASSERT_EQ(reports.size(), 5u);
    expect_report(reports[0], 2, 0, 0, 1, 5000);
    expect_report(reports[1], 2, 0, 0, 2, 1000);
    expect_report(reports[2], 4, 7, 0, 0, 0);
    expect_report(reports[3], 3, 7, 0, 1, 5000);
    expect_report(reports[4], 1, 7, 0, 0, 0);
    EXPECT_EQ(service->wait(), 0);
    EXPECT_EQ(lines_of(read_file(stdout_log())),
              (std::vector<std::string>{"start start-waits-for:" + start_gate, "started",
                                        "stop start-waits-for:" + start_gate, "stopped",
                                        "shutdown hook"}));
}

TEST_F(service_lifecycle, a_stop_sent_while_the_java_vm_is_created_waits_for_running) {
    auto service = start(default_settings());
    const std::optional<report> first = listener.next();
    const std::optional<report> second = listener.next();
    ASSERT_TRUE(first && second);
    // The Java VM is being created now, and installs its own handlers for a while: the
    // request must neither end the process nor be lost.
    service->signal(SIGTERM);
    const std::vector<report> reports = reports_until_stopped(listener);
    ASSERT_EQ(reports.size(), 3u);
    expect_report(reports[0], 4, 7, 0, 0, 0);
    expect_report(reports[1], 3, 7, 0, 1, 5000);
    expect_report(reports[2], 1, 7, 0, 0, 0);
    EXPECT_EQ(service->wait(), 0);
    EXPECT_EQ(lines_of(read_file(stdout_log())),
              (std::vector<std::string>{"start ", "started", "stop ", "stopped", "shutdown hook"}));
}

TEST_F(service_lifecycle, requests_while_stop_is_pending_are_dropped) {
    const std::string stop_gate = make_pipe("stop-gate");
    service_settings settings = default_settings();
    settings.parameters = {"stop-waits-for:" + stop_gate};
    auto service = start(settings);
    expect_running();
    service->signal(SIGTERM);
    const std::optional<report> stopping = listener.next();
    ASSERT_TRUE(stopping);
    expect_report(*stopping, 3, 7, 0, 1, 5000);
    {
        // The stop method waits on the gate: these arrive while stop is pending.
        std::ofstream gate(stop_gate);
        service->signal(SIGHUP);
        service->signal(SIGUSR1);
        service->signal(SIGTERM);
        gate << "go\n";
    }
    const std::vector<report> rest = reports_until_stopped(listener);
    ASSERT_EQ(rest.size(), 1u);
    expect_report(rest[0], 1, 7, 0, 0, 0);
    EXPECT_EQ(service->wait(), 0);
    EXPECT_EQ(
        lines_of(read_file(stdout_log())),
        (std::vector<std::string>{"start stop-waits-for:" + stop_gate, "started",
                                  "stop stop-waits-for:" + stop_gate, "stopped", "shutdown hook"}));
}

// Where the program runs: the working directory (relative to the settings file's folder,
// or absolute) is where the logs, the class path, the options that name files and the
// program's own relative paths are found, and the env elements are what the program and
// the Java VM itself (JAVA_TOOL_OPTIONS) see.
TEST_F(service_lifecycle, the_program_runs_in_the_working_directory_with_the_settings_env) {
    fs::create_directories(folder / "conf");
    fs::create_directories(folder / "app/logs");
    fs::create_directory_symlink(ORVO_TEST_CLASSES, folder / "app/classes");
    write_file(folder / "app/data.txt", "hello\n");
    setenv("ORVO_GONE", "set by the service manager", 1);
    const std::string path = getenv("PATH");
    // The settings file named relatively from the folder, and a relative working
    // directory; then both absolute.
    const std::pair<std::string, std::string> places[] = {
        {"conf/settings.xml", "../app"}, {folder / "conf/settings.xml", folder / "app"}};
    for (const auto& [settings_path, working_directory] : places) {
        SCOPED_TRACE(working_directory);
        service_settings settings;
        settings.options = {"-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-Xmx64m",
                            "-Xlog:gc:file=logs/gc.log"};
        settings.class_path = "classes";
        settings.stdout_log = "logs/out.log";
        settings.stderr_log = "logs/err.log";
        settings.working_directory = working_directory;
        settings.env = {{"ORVO_PROFILE", "prod"},
                        {"ORVO_PATH", "native:${PATH}"},
                        {"ORVO_GONE", "-"},
                        {"JAVA_TOOL_OPTIONS", "-Dorvo.tool=yes"}};
        settings.parameters = {"say-property:user.dir",  "say-env:ORVO_PROFILE",
                               "say-env:ORVO_PATH",      "say-env:ORVO_GONE",
                               "say-property:orvo.tool", "say-file:data.txt"};
        write_file(folder / "conf/settings.xml", settings_xml(settings));
        fs::remove_all(folder / "app/logs");
        fs::create_directory(folder / "app/logs");
        std::unique_ptr<service_process> service;
        {
            current_directory in_folder(folder.path());
            service = start_with({settings_path});
        }
        expect_running();
        expect_stop_on(*service, SIGTERM);
        const std::vector<std::string> out = lines_of(read_file(folder / "app/logs/out.log"));
        for (const std::string& said :
             {"property user.dir=" + folder / "app", std::string("env ORVO_PROFILE=prod"),
              "env ORVO_PATH=native:" + path, std::string("env ORVO_GONE=null"),
              std::string("property orvo.tool=yes"), std::string("file hello")}) {
            EXPECT_NE(std::find(out.begin(), out.end(), said), out.end()) << said;
        }
        EXPECT_NE(read_file(folder / "app/logs/err.log").find("Picked up JAVA_TOOL_OPTIONS"),
                  std::string::npos);
        EXPECT_TRUE(fs::exists(folder / "app/logs/gc.log"));
        EXPECT_EQ(console_err(), "");
    }
    unsetenv("ORVO_GONE");
}

// A report that cannot be sent (the notify socket removed) is said once, on the standard
// error the service was started with. The first end counts, in every phase: where nothing
// else was ending the service, the failed report ends it, the stop path running once
// though the stopped report fails too, with the send's errno (2, ENOENT); where a stop or
// a failed start was under way, the service ends as that end says.
struct lost_manager {
    const char* name;
    std::vector<std::string> parameters; // "{gate}": a named pipe, released after the removal
    const char* stop_timeout;
    int request;           // sent once running (0: none)
    long removed_at;       // the state after whose report the socket is removed
    bool said_before_gate; // the gate is released once the failure has been said
    int status;
    std::vector<std::string> java; // the stdout log, "{gate}" placed
};

const std::vector<std::string> ran = {"start ", "started", "stop ", "stopped", "shutdown hook"};
const std::vector<std::string> ran_to_gate = {"start stop-waits-for:{gate}", "started",
                                              "stop stop-waits-for:{gate}", "stopped",
                                              "shutdown hook"};
const std::vector<std::string> threw_to_gate = {"start throw-in-start,stop-waits-for:{gate}",
                                                "stop throw-in-start,stop-waits-for:{gate}",
                                                "stopped", "shutdown hook"};

// clang-format off
const lost_manager lost_managers[] = {
    {"an interrogate request while running", {}, "", SIGHUP, 4, false, 2, ran},
    {"a request to reopen the logs while running", {}, "", SIGUSR1, 4, false, 2, ran},
    {"a stop request while running", {}, "", SIGTERM, 4, false, 0, ran},
    {"a stop under way", {"stop-waits-for:{gate}"}, "", SIGTERM, 3, false, 0, ran_to_gate},
    {"a stop under way, its progress reported", {"stop-waits-for:{gate}"}, "20000", SIGTERM, 3, true, 0, ran_to_gate},
    {"a failed start's stop", {"throw-in-start", "stop-waits-for:{gate}"}, "", 0, 3, false, 70, threw_to_gate},
    {"a failed start's stop, its progress reported", {"throw-in-start", "stop-waits-for:{gate}"}, "20000", 0, 3, true, 70, threw_to_gate},
};
// clang-format on

TEST_F(service_lifecycle, a_report_that_cannot_be_sent_ends_the_service_unless_an_end_came_first) {
    const std::string said = "error: couldn't send a status report to the service manager: "
                             "No such file or directory.\r\n";
    for (const lost_manager& lost : lost_managers) {
        SCOPED_TRACE(lost.name);
        const std::string index = std::to_string(&lost - lost_managers);
        const std::string gate = make_pipe("gate-" + index);
        service_settings settings = default_settings();
        settings.parameters = placed(lost.parameters, gate);
        settings.stop_timeout = lost.stop_timeout;
        write_file(folder / "settings.xml", settings_xml(settings));
        fs::remove(stdout_log());
        notify_listener manager(folder / ("notify-" + index + ".sock"));
        service_process service({folder / "settings.xml"}, manager.path(), folder / "console.out",
                                folder / "console.err");
        std::optional<report> next;
        while ((next = manager.next(&service)) && next->state() != lost.removed_at) {
            if (next->state() == 4 && lost.request != 0) {
                service.signal(lost.request);
            }
        }
        ASSERT_TRUE(next) << "state " << lost.removed_at << " never reported";
        manager.remove();
        if (lost.request != 0 && lost.removed_at == 4) {
            service.signal(lost.request);
        }
        if (!lost.parameters.empty()) {
            if (lost.said_before_gate) {
                EXPECT_TRUE(
                    wait_for_writes(folder.path().string(), [&] { return console_err() == said; }));
            }
            release(gate);
        }
        EXPECT_EQ(service.wait(), lost.status);
        EXPECT_EQ(lines_of(read_file(stdout_log())), placed(lost.java, gate));
        EXPECT_EQ(console_err(), said);
    }
}

} // namespace
} // namespace orvo_test
