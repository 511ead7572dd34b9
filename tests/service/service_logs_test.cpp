// Where the service's standard output and error go, and how they are reopened on SIGUSR1.
#include <csignal>
#include <cstdio>
#include <thread>

#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_logs = service_test;

// Asks a running service to reopen its logs; the report that answers must say `how`.
void reopen_logs(service_process& service, notify_listener& listener, const std::string& how) {
    service.signal(SIGUSR1);
    expect_note(listener, how);
}

void rename_file(const std::string& from, const std::string& to) {
    ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
}

// What the process has open among `paths`.
std::vector<std::string> open_among(pid_t pid, const std::vector<std::string>& paths) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        const std::string target =
            descriptor_target(pid, std::stoi(entry.path().filename().string()));
        if (std::find(paths.begin(), paths.end(), target) != paths.end()) {
            found.push_back(target);
        }
    }
    return found;
}

// Waits until both files are larger than the sizes given.
bool both_grow_past(const temp_dir& folder, const std::string& one, std::uintmax_t one_size,
                    const std::string& other, std::uintmax_t other_size) {
    return wait_for_writes(folder.path().string(), [&] {
        return fs::file_size(one) > one_size && fs::file_size(other) > other_size;
    });
}

TEST_F(service_logs, sigusr1_reopens_renamed_logs_without_losing_or_doubling_a_line) {
    service_settings settings = default_settings();
    settings.parameters = {"write-until-stop:4"};
    auto service = start(settings);
    expect_running();
    const std::string out_log = stdout_log();
    const std::string err_log = stderr_log();
    // As under logrotate, the writers write before the rename, on into the renamed files
    // until the reopen, and into the new ones after it.
    ASSERT_TRUE(both_grow_past(folder, out_log, 4096, err_log, 4096));
    rename_file(out_log, out_log + ".1");
    rename_file(err_log, err_log + ".1");
    ASSERT_TRUE(both_grow_past(folder, out_log + ".1", fs::file_size(out_log + ".1"),
                               err_log + ".1", fs::file_size(err_log + ".1")));
    reopen_logs(*service, listener, "logs reopened");
    EXPECT_EQ(descriptor_target(service->pid(), 1), out_log);
    EXPECT_EQ(descriptor_target(service->pid(), 2), err_log);
    // Nothing keeps the renamed files open, so that rotation can delete them.
    EXPECT_EQ(open_among(service->pid(), {out_log + ".1", err_log + ".1"}),
              std::vector<std::string>{});
    ASSERT_TRUE(both_grow_past(folder, out_log, 0, err_log, 0));
    expect_stop_on(*service, SIGTERM);

    for (const std::string stream : {"out", "err"}) {
        const std::string log = stream == "out" ? out_log : err_log;
        SCOPED_TRACE(stream);
        numbered_lines lines;
        lines.add(read_file(log + ".1"), log + ".1");
        lines.add(read_file(log), log);
        lines.expect_counted_from_zero(4);
        const std::vector<std::string> others =
            stream == "out"
                ? std::vector<std::string>{"start write-until-stop:4", "started",
                                           "stop write-until-stop:4", "stopped", "shutdown hook"}
                : std::vector<std::string>{"start on stderr"};
        EXPECT_EQ(lines.others, others);
    }
}

TEST_F(service_logs, a_reopen_asked_for_while_start_is_pending_waits_for_running) {
    const std::string start_gate = folder / "start-gate";
    auto service = start_held(start_gate);
    {
        // Open, the gate holds the start method after its first lines.
        std::ofstream gate(start_gate);
        rename_file(stdout_log(), stdout_log() + ".1");
        rename_file(stderr_log(), stderr_log() + ".1");
        service->signal(SIGUSR1);
        while (service->signal_pending(SIGUSR1)) {
            std::this_thread::yield();
        }
        gate << "go\n";
    }
    expect_running();
    expect_note(listener, "logs reopened");
    expect_stop_on(*service, SIGTERM);
    const std::string parameter = "start-waits-for:" + start_gate;
    EXPECT_EQ(lines_of(read_file(stdout_log() + ".1")),
              (std::vector<std::string>{"start " + parameter, "started"}));
    EXPECT_EQ(lines_of(read_file(stdout_log())),
              (std::vector<std::string>{"stop " + parameter, "stopped", "shutdown hook"}));
    EXPECT_EQ(read_file(stderr_log() + ".1"), "start on stderr\n");
    EXPECT_TRUE(fs::exists(stderr_log()));
}

// A log that cannot be opened again: the old one stays in place, and the stderr log in
// use says so.
struct failed_reopen {
    const char* name;
    const char* stderr_log;    // in the test's folder
    const char* renamed[2][2]; // what is renamed before SIGUSR1, from, to
    const char* made_folder;   // a folder made where a log was, or null
    const char* failed;        // the log that cannot be reopened
    const char* reason;        // why, as the system says
    const char* output_after;  // where standard output and error point then
    const char* error_after;
};

void PrintTo(const failed_reopen& reopen, std::ostream* out) {
    *out << reopen.name;
}

const failed_reopen failed_reopens[] = {
    {"log_path_now_a_folder",
     "err.log",
     {{"out.log", "out.log.1"}, {"err.log", "err.log.1"}},
     "out.log",
     "out.log",
     "Is a directory",
     "out.log.1",
     "err.log"},
    // One file for both streams: said once.
    {"one_log_for_both_now_a_folder",
     "out.log",
     {{"out.log", "out.log.1"}, {"out.log.1", "out.log.1"}},
     "out.log",
     "out.log",
     "Is a directory",
     "out.log.1",
     "out.log.1"},
    {"folder_of_the_log_gone",
     "logs/err.log",
     {{"out.log", "out.log.1"}, {"logs", "logs.1"}},
     nullptr,
     "logs/err.log",
     "No such file or directory",
     "out.log",
     "logs.1/err.log"},
};

class service_failed_reopen : public service_test,
                              public ::testing::WithParamInterface<failed_reopen> {};

TEST_P(service_failed_reopen, keeps_the_old_log_and_says_so) {
    const failed_reopen& at = GetParam();
    fs::create_directory(folder / "logs");
    service_settings settings = default_settings();
    settings.stderr_log = folder / at.stderr_log;
    auto service = start(settings);
    expect_running();
    for (const auto& rename : at.renamed) {
        rename_file(folder / rename[0], folder / rename[1]);
    }
    if (at.made_folder != nullptr) {
        fs::create_directory(folder / at.made_folder);
    }
    reopen_logs(*service, listener, "a log could not be reopened");
    EXPECT_EQ(descriptor_target(service->pid(), 1), folder / at.output_after);
    EXPECT_EQ(descriptor_target(service->pid(), 2), folder / at.error_after);
    expect_stop_on(*service, SIGTERM);
    const std::string line = "error: couldn't reopen log file \"" + (folder / at.failed) +
                             "\": " + at.reason + "; the old one stays in use.\r\n";
    const std::string log = read_file(folder / at.error_after);
    const std::string::size_type first = log.find(line);
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(line, first + 1), std::string::npos) << "said more than once:\n" << log;
    // What comes later goes on in the log in place.
    EXPECT_NE(read_file(folder / at.output_after).find("stopped\nshutdown hook\n"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(cases, service_failed_reopen, ::testing::ValuesIn(failed_reopens),
                         [](const auto& test) { return std::string(test.param.name); });

// Relative logs are reopened in the folder the process works in, whatever its name now:
// the working directory it entered, renamed, not a new folder that took its old name.
TEST_F(service_logs, relative_logs_reopen_in_the_folder_the_process_is_in) {
    fs::create_directories(folder / "app/logs");
    service_settings settings = default_settings();
    settings.working_directory = "app";
    settings.stdout_log = "logs/out.log";
    settings.stderr_log = "logs/err.log";
    auto service = start(settings);
    expect_running();
    rename_file(folder / "app", folder / "app.old");
    fs::create_directories(folder / "app/logs");
    rename_file(folder / "app.old/logs/out.log", folder / "app.old/logs/out.log.1");
    reopen_logs(*service, listener, "logs reopened");
    EXPECT_EQ(descriptor_target(service->pid(), 1), folder / "app.old/logs/out.log");
    EXPECT_EQ(descriptor_target(service->pid(), 2), folder / "app.old/logs/err.log");
    expect_stop_on(*service, SIGTERM);
    EXPECT_TRUE(fs::is_empty(folder / "app/logs"));
    EXPECT_EQ(lines_of(read_file(folder / "app.old/logs/out.log.1")),
              (std::vector<std::string>{"start ", "started"}));
    EXPECT_EQ(lines_of(read_file(folder / "app.old/logs/out.log")),
              (std::vector<std::string>{"stop ", "stopped", "shutdown hook"}));
}

TEST_F(service_logs, logs_keep_their_earlier_content) {
    write_file(stdout_log(), "earlier out\n");
    write_file(stderr_log(), "earlier err\n");
    auto service = start(default_settings());
    expect_running();
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(read_file(stdout_log()),
              "earlier out\nstart \nstarted\nstop \nstopped\nshutdown hook\n");
    EXPECT_EQ(read_file(stderr_log()), "earlier err\nstart on stderr\n");
}

TEST_F(service_logs, one_file_named_for_both_streams_receives_both) {
    service_settings settings = default_settings();
    settings.stdout_log = folder / "both.log";
    settings.stderr_log = folder / "both.log";
    auto service = start(settings);
    expect_running();
    EXPECT_EQ(descriptor_target(service->pid(), 2), folder / "both.log");
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(lines_of(read_file(folder / "both.log")),
              (std::vector<std::string>{"start ", "start on stderr", "started", "stop ", "stopped",
                                        "shutdown hook"}));
}

// An empty log path names no log: that stream's output is discarded and the start goes
// on. (A log that cannot be opened fails the start: see service_failure_test.cpp.)
TEST_F(service_logs, an_empty_log_path_names_no_log_and_its_output_is_discarded) {
    service_settings settings = default_settings();
    settings.stdout_log = "";
    auto service = start(settings);
    expect_running();
    // Never left closed: the next file opened would take its place.
    EXPECT_EQ(descriptor_target(service->pid(), 1), "/dev/null");
    expect_stop_on(*service, SIGTERM);
    EXPECT_EQ(read_file(stderr_log()), "start on stderr\n");
    EXPECT_EQ(console_out(), "");
    EXPECT_EQ(console_err(), "");
}

} // namespace
} // namespace orvo_test
