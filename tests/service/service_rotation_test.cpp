// The logs' rotation where the Java VM writes them itself: by size, at local midnight,
// with the oldest rotated files deleted, through a log folder that goes away and comes
// back, and beside SIGUSR1.
#include <algorithm>
#include <csignal>
#include <ctime>
#include <set>

#include "tests/rotated_logs.h"
#include "tests/service/service_fixture.h"

namespace orvo_test {
namespace {

using service_rotation = service_test;

// The rotated files of `live` (a path in `folder`), oldest first.
std::vector<std::string> rotated_of(const std::string& folder, const std::string& live) {
    return rotated_files_of(folder, fs::path(live).filename().string());
}

// Reads each log's rotated files by name and then the live one: every writer's lines come
// whole, once and in order, and the Probe's own lines are where they belong.
void expect_every_line_once(const std::string& folder, const std::string& out_log,
                            const std::string& err_log, std::size_t writers,
                            const std::string& parameter) {
    for (const std::string& log : {out_log, err_log}) {
        SCOPED_TRACE(log);
        const numbered_lines lines = lines_of_log(folder, fs::path(log).filename().string());
        lines.expect_counted_from_zero(writers);
        const std::vector<std::string> others =
            log == out_log
                ? std::vector<std::string>{"start " + parameter, "started", "stop " + parameter,
                                           "stopped", "shutdown hook"}
                : std::vector<std::string>{"start on stderr"};
        EXPECT_EQ(lines.others, others);
    }
}

class service_rotation_writers : public service_test {
  protected:
    // Starts the Probe with `writers` threads writing until the stop, logs rotated as
    // `rotation` says, and waits for the first rotation, which is told once however many
    // follow.
    std::unique_ptr<service_process> start_writing(service_settings settings, const char* rotation,
                                                   int writers) {
        settings.log_rotation = rotation;
        settings.parameters = {"write-until-stop:" + std::to_string(writers)};
        auto service = start(settings);
        expect_running();
        expect_note(listener, "logs rotated");
        return service;
    }
};

TEST_F(service_rotation_writers, by_size_each_line_reaches_one_file_whole_once_and_in_order) {
    auto service = start_writing(default_settings(), "max_size='1K'", 4);
    ASSERT_TRUE(wait_for_writes(folder.path().string(), [&] {
        return rotated_of(folder.path().string(), stdout_log()).size() >= 100 &&
               rotated_of(folder.path().string(), stderr_log()).size() >= 100;
    }));
    expect_stop_on(*service, SIGTERM);
    expect_every_line_once(folder.path().string(), stdout_log(), stderr_log(), 4,
                           "write-until-stop:4");
}

// One file for both streams is one log, rotated once: its rotated files hold both streams'
// lines, each whole.
TEST_F(service_rotation_writers, one_file_for_both_streams_is_rotated_as_one) {
    service_settings settings = default_settings();
    settings.stderr_log = stdout_log();
    auto service = start_writing(settings, "max_size='1K'", 2);
    ASSERT_TRUE(wait_for_writes(folder.path().string(), [&] {
        return rotated_of(folder.path().string(), stdout_log()).size() >= 20;
    }));
    expect_stop_on(*service, SIGTERM);
    lines_of_log(folder.path().string(), "out.log")
        .expect_counted_from_zero(4); // "out 0", "out 1", "err 0", "err 1"
    EXPECT_FALSE(fs::exists(stderr_log()));
}

// max_files keeps the newest rotated files of each log and deletes the older ones, and
// never a file beside them that only looks alike.
TEST_F(service_rotation_writers, max_files_keeps_the_newest_and_touches_no_other_file) {
    const std::vector<std::string> others = {"out-error.log",
                                             "out.old.log",
                                             "out.2024.log",
                                             "out.20240131-235959.042.log.gz",
                                             "out.20241331-235959.042.log",
                                             "out.20240131-235959.042.txt",
                                             "err.log.1"};
    for (const std::string& name : others) {
        write_file(folder / name, "kept\n");
    }
    write_file(folder / "out.20000101-000000.000.log", "the oldest, deleted\n");
    auto service = start_writing(default_settings(), "max_size='1K' max_files='3'", 4);
    std::set<std::string> seen;
    ASSERT_TRUE(wait_for_writes(folder.path().string(), [&] {
        for (const std::string& file : rotated_of(folder.path().string(), stdout_log())) {
            seen.insert(file);
        }
        return seen.size() >= 20;
    }));
    expect_stop_on(*service, SIGTERM);
    for (const std::string& name : others) {
        EXPECT_EQ(read_file(folder / name), "kept\n") << name;
    }
    EXPECT_FALSE(fs::exists(folder / "out.20000101-000000.000.log"));
    const std::vector<std::string> kept = rotated_of(folder.path().string(), stdout_log());
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_EQ(rotated_of(folder.path().string(), stderr_log()).size(), 3u);
    // The newest ones: what is left ends with the stop, and counts on without a gap.
    numbered_lines lines;
    for (const std::string& file : kept) {
        EXPECT_GE(file, *std::prev(seen.end(), std::min<std::ptrdiff_t>(3, seen.size())));
        lines.add(read_file(file), file);
    }
    lines.add(read_file(stdout_log()), stdout_log());
    lines.expect_counted_on();
    EXPECT_EQ(lines.others.back(), "shutdown hook");
}

// A stream whose log is "-" stays where orvo's own went, and neither the rotation nor
// SIGUSR1 touches it, though it is a file; the other log is rotated as ever.
TEST_F(service_rotation_writers, a_stream_left_where_it_was_is_never_rotated_or_reopened) {
    service_settings settings = default_settings();
    settings.stdout_log = "-";
    auto service = start_writing(settings, "max_size='1K'", 2);
    service->signal(SIGUSR1);
    expect_note(listener, "logs reopened");
    expect_note(listener, "logs rotated"); // the stderr log, on
    EXPECT_EQ(descriptor_target(service->pid(), 1), folder / "console.out");
    expect_stop_on(*service, SIGTERM);
    numbered_lines out;
    out.add(console_out(), "console.out");
    out.expect_counted_from_zero(2);
    EXPECT_FALSE(fs::exists(folder / "-"));
    EXPECT_EQ(rotated_of(folder.path().string(), folder / "console.out"),
              std::vector<std::string>{});
    lines_of_log(folder.path().string(), "err.log").expect_counted_from_zero(2);
}

// The time zone "ORV+HH:MM:SS" in which local midnight falls at the whole second `at`.
std::string zone_with_midnight_at(std::time_t at) {
    const long offset = static_cast<long>(at % 86400); // local = UTC - offset
    char zone[32];
    std::snprintf(zone, sizeof zone, "ORV+%02ld:%02ld:%02ld", offset / 3600, offset / 60 % 60,
                  offset % 60);
    return zone;
}

// Local midnight made to fall a few seconds into the run, through the service's own TZ:
// both logs are rotated then, and their rotated names carry the new day's first moment.
TEST_F(service_rotation, daily_at_local_midnight) {
    for (const std::time_t lead : {4, 30}) {
        SCOPED_TRACE(lead);
        temp_dir run;
        service_settings settings = default_settings();
        settings.stdout_log = run / "out.log";
        settings.stderr_log = run / "err.log";
        settings.log_rotation = "daily='true'";
        const std::time_t midnight = std::time(nullptr) + lead;
        settings.env = {{"TZ", zone_with_midnight_at(midnight)}};
        auto service = start(settings);
        expect_running();
        if (std::time(nullptr) >= midnight) {
            // Too busy a machine: the logs may have been opened after that midnight. Again,
            // with more time.
            expect_stop_on(*service, SIGTERM);
            continue;
        }
        expect_note(listener, "logs rotated");
        const std::vector<std::string> out = rotated_of(run.path().string(), run / "out.log");
        const std::vector<std::string> err = rotated_of(run.path().string(), run / "err.log");
        ASSERT_EQ(out.size(), 1u);
        ASSERT_EQ(err.size(), 1u);
        expect_stop_on(*service, SIGTERM);
        // The stamp is the local time of the rotation: the new day's first seconds.
        EXPECT_NE(out[0].find("-0000"), std::string::npos) << out[0];
        EXPECT_EQ(lines_of(read_file(out[0])), (std::vector<std::string>{"start ", "started"}));
        EXPECT_EQ(lines_of(read_file(run / "out.log")),
                  (std::vector<std::string>{"stop ", "stopped", "shutdown hook"}));
        EXPECT_EQ(read_file(err[0]), "start on stderr\n");
        EXPECT_EQ(read_file(run / "err.log"), "");
        return;
    }
    FAIL() << "no run began before its midnight";
}

// The folder of a log removed while it runs: the rotation that cannot open a new file keeps
// the old one and says so once, with its reason; once the folder is back, the next
// rotation opens the log there again.
TEST_F(service_rotation_writers, a_log_folder_removed_and_made_again) {
    fs::create_directory(folder / "logs");
    service_settings settings = default_settings();
    settings.stdout_log = folder / "logs/out.log";
    auto service = start_writing(settings, "max_size='1K'", 2);
    fs::remove_all(folder / "logs");
    expect_note(listener, "a log could not be rotated");
    creation_watch made(folder.path().string(), "logs");
    fs::create_directory(folder / "logs");
    ASSERT_TRUE(made.wait());
    creation_watch reopened(folder / "logs", "out.log");
    ASSERT_TRUE(reopened.wait());
    expect_note(listener, "logs rotated");
    expect_stop_on(*service, SIGTERM);
    const std::string line = "error: couldn't reopen log file \"" + (folder / "logs/out.log") +
                             "\": No such file or directory; the old one stays in use.\r\n";
    const std::string errors = text_of_log(folder.path().string(), "err.log");
    const std::string::size_type first = errors.find(line);
    EXPECT_NE(first, std::string::npos);
    EXPECT_EQ(errors.find(line, first + 1), std::string::npos) << "said more than once";
    // The log goes on in the folder made again, rotated on to the end.
    EXPECT_NE(text_of_log(folder / "logs", "out.log").find("shutdown hook\n"), std::string::npos);
}

// SIGUSR1 after the logs were renamed from outside reopens them, and the rotation then
// watches the new files.
TEST_F(service_rotation_writers, sigusr1_after_an_outside_rename_and_rotation_after_it) {
    auto service = start_writing(default_settings(), "max_size='64K'", 2);
    fs::rename(stdout_log(), folder / "renamed-out.log");
    fs::rename(stderr_log(), folder / "renamed-err.log");
    service->signal(SIGUSR1);
    expect_note(listener, "logs reopened");
    const std::size_t before = rotated_of(folder.path().string(), stdout_log()).size();
    ASSERT_TRUE(wait_for_writes(folder.path().string(), [&] {
        return rotated_of(folder.path().string(), stdout_log()).size() > before;
    }));
    expect_note(listener, "logs rotated");
    expect_stop_on(*service, SIGTERM);
    // The renamed file holds what came before the reopen, the rotated ones before and
    // after it the rest: sorted, every writer's numbers are there once.
    std::vector<std::string> files = rotated_of(folder.path().string(), stdout_log());
    files.push_back(folder / "renamed-out.log");
    files.push_back(stdout_log());
    numbered_lines lines;
    for (const std::string& file : files) {
        lines.add(read_file(file), file);
    }
    for (auto& [writer, counted] : lines.numbers) {
        std::sort(counted.begin(), counted.end());
    }
    lines.expect_counted_from_zero(2);
}

} // namespace
} // namespace orvo_test
