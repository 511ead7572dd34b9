// orvo --console: the service's start, run and stop without a service manager, its reports
// as "orvo: " lines on the standard error it was started with; and the log path "-", which
// leaves a stream where orvo's own goes.
#include <csignal>
#include <regex>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

class service_console : public service_test {
  protected:
    std::unique_ptr<service_process> start_in_console(const service_settings& settings) {
        write_file(folder / "settings.xml", settings_xml(settings));
        return start_with({"--console", folder / "settings.xml"}, false);
    }
    // Waits until orvo's standard error holds `text`.
    bool console_says(const std::string& text) {
        return wait_for_writes(folder.path().string(),
                               [&] { return console_err().find(text) != std::string::npos; });
    }
    // The lines orvo wrote about itself ("orvo: ", "error: "), CR LF dropped.
    std::vector<std::string> orvo_lines() {
        std::vector<std::string> found;
        for (const std::string& line : lines_of(console_err())) {
            if (line.rfind("orvo: ", 0) == 0 || line.rfind("error: ", 0) == 0) {
                found.push_back(line.substr(0, line.find('\r')));
            }
        }
        return found;
    }
};

service_settings with_parameters(service_settings settings, std::vector<std::string> parameters) {
    settings.parameters = std::move(parameters);
    return settings;
}

service_settings api_settings(std::vector<std::string> parameters) {
    service_settings settings;
    settings.stdout_log = "-";
    settings.stderr_log = "-";
    settings.class_name = "orvotest/Api";
    settings.parameters = std::move(parameters);
    return settings;
}

const std::vector<std::string> java_run = {"start ", "started", "stop ", "stopped",
                                           "shutdown hook"};

// A stop request calls the stop method once and ends with 0. With both logs "-" the Java
// program's output is orvo's own, in order, around orvo's lines; with log files it goes
// there, and the console has only the reports, with the time left where a limit is set.
TEST_F(service_console, a_stop_signal_calls_the_stop_method_once_and_ends_with_0) {
    struct stop {
        int signal_number;
        bool dash_logs;
        const char* start_timeout;
        const char* stop_timeout;
        std::vector<std::string> console; // orvo's standard error, lines as patterns
    };
    const std::vector<std::string> plain = {"orvo: start pending \\(check-point 1\\)\r",
                                            "orvo: start pending \\(check-point 2\\)\r",
                                            "start on stderr",
                                            "orvo: running\r",
                                            "orvo: stop pending \\(check-point 1\\)\r",
                                            "orvo: stopped \\(exit code 0\\)\r"};
    const std::vector<std::string> limited = {
        "orvo: start pending \\(check-point 1\\)\r",
        "orvo: start pending \\(check-point 2\\)\r",
        "orvo: start pending \\(check-point 3, [0-9]+ ms left\\)\r",
        "orvo: running\r",
        "orvo: stop pending \\(check-point 1, 30000 ms left\\)\r",
        "orvo: stopped \\(exit code 0\\)\r"};
    const stop stops[] = {{SIGINT, true, "", "", plain},
                          {SIGTERM, true, "", "", plain},
                          {SIGHUP, true, "", "", plain},
                          {SIGTERM, false, "60000", "30000", limited}};
    for (const stop& each : stops) {
        SCOPED_TRACE(std::to_string(each.signal_number) + (each.dash_logs ? " -" : " files"));
        service_settings settings = default_settings();
        if (each.dash_logs) {
            settings.stdout_log = "-";
            settings.stderr_log = "-";
        }
        settings.start_timeout = each.start_timeout;
        settings.stop_timeout = each.stop_timeout;
        fs::remove(stdout_log());
        fs::remove(stderr_log());
        auto service = start_in_console(settings);
        ASSERT_TRUE(console_says("orvo: running\r\n"));
        service->signal(each.signal_number);
        EXPECT_EQ(service->wait(), 0);
        const std::vector<std::string> said = lines_of(console_err());
        ASSERT_EQ(said.size(), each.console.size()) << console_err();
        for (std::size_t i = 0; i < said.size(); ++i) {
            EXPECT_TRUE(std::regex_match(said[i], std::regex(each.console[i]))) << said[i];
        }
        EXPECT_EQ(lines_of(each.dash_logs ? console_out() : read_file(stdout_log())), java_run);
        EXPECT_EQ(console_out().empty(), !each.dash_logs);
        EXPECT_EQ(fs::exists(stderr_log()), !each.dash_logs);
        EXPECT_FALSE(fs::exists(folder / "-"));
    }
}

// A second request while the stop (or a start) is under way ends the process at once.
TEST_F(service_console, a_second_stop_request_ends_at_once_with_130) {
    const std::string gate = make_pipe("gate");
    struct moment {
        const char* name;
        const char* parameter;
        const char* wait_for; // the line after which the two requests are sent
        const char* taken;    // the line that says the first request was taken
        int first;
        int second;
    };
    const moment moments[] = {
        {"a stop method that hangs", "stop-waits-for:", "orvo: running\r\n", "orvo: stop pending",
         SIGINT, SIGINT},
        {"a start method that hangs", "start-waits-for:", "start on stderr",
         "orvo: stop requested while starting", SIGTERM, SIGINT},
    };
    for (const moment& each : moments) {
        SCOPED_TRACE(each.name);
        service_settings settings = with_parameters(default_settings(), {each.parameter + gate});
        settings.stderr_log = "-";
        auto service = start_in_console(settings);
        ASSERT_TRUE(console_says(each.wait_for));
        service->signal(each.first);
        ASSERT_TRUE(console_says(each.taken));
        service->signal(each.second);
        EXPECT_EQ(service->wait(), 130);
        const std::vector<std::string> lines = orvo_lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[lines.size() - 2], "orvo: a second stop request: ending at once");
        EXPECT_EQ(lines.back(), "orvo: stopped (exit code 572)");
    }
}

// Each failed start ends with the status the service's failure gives.
TEST_F(service_console, a_failed_start_ends_with_the_services_status) {
    struct failure {
        const char* name;
        service_settings settings;
        int status;
        const char* stopped;
    };
    service_settings missing_class = default_settings();
    missing_class.class_name = "orvotest/Missing";
    service_settings no_jvm = default_settings();
    no_jvm.dll_path = folder / "no-such-libjvm.so";
    service_settings missing_log = default_settings();
    missing_log.stdout_log = folder / "no-such-folder/out.log";
    service_settings slow =
        with_parameters(default_settings(), {"start-waits-for:" + make_pipe("g")});
    slow.start_timeout = "1500";
    const failure failures[] = {
        {"a class that is not there", missing_class, 78, "orvo: stopped (exit code 1610)"},
        {"no Java VM library", no_jvm, 69, "orvo: stopped (exit code 1627)"},
        {"a log that cannot be opened", missing_log, 73, "orvo: stopped (exit code 82)"},
        {"a start method that throws", with_parameters(default_settings(), {"throw-in-start"}), 70,
         "orvo: stopped (exit code 1064)"},
        {"a start that outlasts its limit", slow, 75, "orvo: stopped (exit code 1053)"},
        {"a start method that exits", with_parameters(default_settings(), {"exit-in-start:9"}), 9,
         "orvo: stopped (exit code 1066, the Java program's status 9)"},
        {"a start method that asks for a stop", api_settings({"start:request-stop:4"}), 4,
         "orvo: stopped (exit code 1066, the Java program's status 4)"},
    };
    for (const failure& each : failures) {
        SCOPED_TRACE(each.name);
        auto service = start_in_console(each.settings);
        EXPECT_EQ(service->wait(), each.status);
        const std::vector<std::string> lines = orvo_lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), each.stopped);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "orvo: running"), 0) << console_err();
    }
    // No settings file: the service's usage failure.
    auto service = start_with({"--console"}, false);
    EXPECT_EQ(service->wait(), 64);
    EXPECT_EQ(orvo_lines().back(), "orvo: stopped (exit code 160)");
}

// The program's progress and words (orvo.Service) are orvo's lines too, as the reports that
// carry them: its estimate beside the check-point, its words after the state's.
TEST_F(service_console, the_programs_progress_and_words_are_lines_of_their_own) {
    auto service = start_in_console(
        api_settings({"start:starting:30000", "start:status:warming\tup", "stop:stopping:4000"}));
    ASSERT_TRUE(console_says("orvo: running"));
    service->signal(SIGTERM);
    EXPECT_EQ(service->wait(), 0);
    EXPECT_EQ(orvo_lines(),
              (std::vector<std::string>{
                  "orvo: start pending (check-point 1)",
                  "orvo: start pending (check-point 2)",
                  "orvo: start pending (check-point 3, about 30000 ms more)",
                  "orvo: start pending (check-point 3), warming\\tup",
                  "orvo: running, warming\\tup",
                  "orvo: stop pending (check-point 1), warming\\tup",
                  "orvo: stop pending (check-point 2, about 4000 ms more), warming\\tup",
                  "orvo: stopped (exit code 0), warming\\tup",
              }));
}

// SIGQUIT is the Java VM's, as in a Java console: a thread dump on its standard output.
TEST_F(service_console, sigquit_gives_the_java_vms_thread_dump) {
    service_settings settings = default_settings();
    settings.stdout_log = "-";
    auto service = start_in_console(settings);
    ASSERT_TRUE(console_says("orvo: running\r\n"));
    service->signal(SIGQUIT);
    ASSERT_TRUE(wait_for_writes(folder.path().string(), [&] {
        return console_out().find("Full thread dump") != std::string::npos;
    }));
    service->signal(SIGINT);
    EXPECT_EQ(service->wait(), 0);
}

// Under a service manager, "-" leaves the streams as the manager gave them (the journal
// under systemd), and SIGUSR1 leaves them alone.
TEST_F(service_console, under_a_service_manager_a_dash_leaves_the_stream_to_the_manager) {
    service_settings settings = default_settings();
    settings.stdout_log = "-";
    auto service = start(settings);
    expect_running();
    const std::string journal = folder / "console.out";
    EXPECT_EQ(descriptor_target(service->pid(), 1), journal);
    EXPECT_EQ(descriptor_target(service->pid(), 2), stderr_log());
    service->signal(SIGUSR1);
    expect_note(listener, "logs reopened");
    EXPECT_EQ(descriptor_target(service->pid(), 1), journal);
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(lines_of(console_out()), java_run);
    EXPECT_FALSE(fs::exists(folder / "-"));
}

} // namespace
} // namespace orvo_test
