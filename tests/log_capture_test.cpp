// The rotation's names and the log that orvo writes itself from a captured stream: what
// reaches the files, where a file changes, what is counted when it cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/local_time.h"
#include "platform/log_files.h"
#include "rotated_logs.h"
#include "service/log_capture.h"
#include "service/log_rotation.h"
#include "test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace {

namespace fs = std::filesystem;
using orvo_test::read_file;
using orvo_test::temp_dir;
using orvo_test::write_file;

TEST(RotatedNames, StemThenLocalTimeThenExtension) {
    const platform::local_time moment{2024, 1, 31, 23, 59, 59, 42};
    // clang-format off
    const struct { const char* live; const char* rotated; } rows[] = {
        {"app.log",     "app.20240131-235959.042.log"},
        {"stdout",      "stdout.20240131-235959.042"},
        {"app.log.txt", "app.log.20240131-235959.042.txt"},
        {".log",        ".log.20240131-235959.042"},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(rotated_name(row.live, moment), row.rotated);
        EXPECT_TRUE(is_rotated_name(row.live, row.rotated)) << row.rotated;
    }
}

TEST(RotatedNames, OnlyTheLogsOwnNamesWithRealTimesMatch) {
    // clang-format off
    const char* const others[] = {
        "app.log", "app-error.log", "app.old.log", "app.2024.log", "app.20240131-235959.042.log.gz",
        "app.20240131-235959.042.txt", "app.20241331-235959.042.log", "app.20240230-120000.000.log",
        "app.20240131-245959.042.log", "app.20240131-236059.042.log", "app.20240131_235959.042.log",
        "app.2024013a-235959.042.log", "app.20240131-235959.42.log", "xapp.20240131-235959.042.log",
        "app.20240131-235959.042.logx", "app-error.20240131-235959.042.log",
    };
    // clang-format on
    for (const char* name : others) {
        EXPECT_FALSE(is_rotated_name("app.log", name)) << name;
    }
    EXPECT_TRUE(is_rotated_name("app.log", "app.20240229-000000.000.log"));
    EXPECT_TRUE(is_rotated_name("app.log", "app.20231231-235960.999.log")); // a leap second
}

// Names sort as the files were written, even within one millisecond or after a clock set
// back; only rotated files of the log are deleted, the oldest first.
TEST(RotatedFiles, NamesFollowEachOtherAndTheOldestGo) {
    temp_dir dir;
    const std::string live = dir / "app.log";
    write_file(dir / "app.29991231-235959.999.log", "from a clock ahead\n");
    for (const char* other : {"app-error.log", "app.old.log", "other.20240101-000000.000.log"}) {
        write_file(dir / other, "kept\n");
    }
    rotated_files names(live);
    const std::int64_t now = platform::now_ms();
    EXPECT_EQ(names.next_path(now), dir / "app.30000101-000000.000.log");
    EXPECT_EQ(names.next_path(now), dir / "app.30000101-000000.001.log");
    for (int i = 0; i < 3; ++i) {
        write_file(names.next_path(now), "rotated\n");
    }
    names.keep_newest(2);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"app-error.log", "app.30000101-000000.003.log",
                                              "app.30000101-000000.004.log", "app.old.log",
                                              "other.20240101-000000.000.log"}));
}

// A captured log in a folder of its own, fed in chunks.
class CapturedLog : public ::testing::Test {
  protected:
    std::unique_ptr<captured_log> open_log(const rotation_rules& rules, std::int64_t now = 0) {
        const platform::file_handle file = platform::open_log_file(live);
        EXPECT_NE(file, platform::invalid_file_handle);
        platform::move_to_end(file);
        return std::make_unique<captured_log>(live, file, rules, now == 0 ? start : now);
    }

    // The rotated files by name, then the live file.
    std::vector<std::string> files() const {
        return orvo_test::log_files_of(dir.path().string(), "out.log");
    }

    std::string everything() const {
        return orvo_test::text_of_log(dir.path().string(), "out.log");
    }

    temp_dir dir;
    const std::string live = dir / "out.log";
    const std::int64_t start = platform::now_ms();
};

rotation_rules by_size(std::uint64_t size, std::optional<std::uint32_t> keep = std::nullopt) {
    rotation_rules rules;
    rules.max_size = size;
    rules.max_files = keep;
    return rules;
}

// The property of the whole: whatever the chunks and the lines, the files hold the stream
// exactly once and in order; a file changes only after a line end, or within a line that
// has reached max_line; each rotated file has reached max_size and holds at most a line
// more.
TEST_F(CapturedLog, ManyRotationsKeepTheStreamWholeAndSplitNoShortLine) {
    std::mt19937 random(20240131);
    std::string stream;
    std::vector<std::size_t> line_ends; // offsets just after each line end
    for (int i = 0; i < 6000; ++i) {
        const bool long_line = random() % 500 == 0;
        const std::size_t length = long_line ? 60000 + random() % 20000 : random() % 300;
        stream += "w" + std::to_string(random() % 4) + " " + std::to_string(i) + " " +
                  std::string(length, static_cast<char>('a' + random() % 26)) + "\r\n";
        line_ends.push_back(stream.size());
    }
    const std::uint64_t max_size = 1024;
    auto log = open_log(by_size(max_size));
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t chunk = std::min<std::size_t>(stream.size() - at, 1 + random() % 9000);
        log->write(stream.data() + at, chunk, start);
        at += chunk;
    }
    log.reset();
    EXPECT_EQ(everything(), stream);
    const std::vector<std::string> all = files();
    EXPECT_GT(all.size(), 500u);
    std::size_t offset = 0;
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        const std::size_t size = read_file(all[i]).size();
        offset += size;
        const bool at_line_end = std::binary_search(line_ends.begin(), line_ends.end(), offset);
        const std::size_t line_start =
            *std::prev(std::upper_bound(line_ends.begin(), line_ends.end(), offset - 1));
        EXPECT_TRUE(at_line_end || offset - line_start >= captured_log::max_line)
            << all[i] << " ends within a line shorter than " << captured_log::max_line;
        EXPECT_GE(size, max_size) << all[i];
        EXPECT_LE(size, max_size + 80000 + 2) << all[i];
    }
}

// At local midnight a log that holds something is rotated between two lines; one that
// holds nothing stays.
TEST_F(CapturedLog, DailyAtTheFirstLineEndFromMidnight) {
    rotation_rules rules;
    rules.daily = true;
    auto log = open_log(rules);
    const std::int64_t midnight = platform::next_local_midnight(start);
    EXPECT_EQ(log->ms_until_due(midnight - 5), 5);
    log->tick(midnight + 1); // empty: nothing to rotate
    EXPECT_EQ(files().size(), 1u);
    const std::int64_t next = platform::next_local_midnight(midnight + 1);
    log->write("day one\r\nday one, unended", 25, next - 1);
    log->tick(next + 1); // within a line: the change waits for its end
    EXPECT_EQ(files().size(), 1u);
    log->write(" line\r\nday two\r\n", 16, next + 2);
    log.reset();
    const std::vector<std::string> all = files();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(read_file(all[0]), "day one\r\nday one, unended line\r\n");
    EXPECT_EQ(read_file(all[1]), "day two\r\n");
}

// orvo's own lines go between two of the program's lines, or anywhere at the end.
TEST_F(CapturedLog, NotesWaitForALineEnd) {
    auto log = open_log(rotation_rules());
    log->write("a\r\nb", 4, start);
    log->add_note("error: x.\r\n");
    log->tick(start);
    EXPECT_EQ(read_file(live), "a\r\nb");
    log->write("c\r\nd", 4, start);
    EXPECT_EQ(read_file(live), "a\r\nbc\r\nerror: x.\r\nd");
    log->add_note("error: y.\r\n");
    log->write_notes_now(start);
    EXPECT_EQ(read_file(live), "a\r\nbc\r\nerror: x.\r\nderror: y.\r\n");
}

// A reopen after someone renamed the log: the new file begins at a line end; one that
// cannot be opened keeps the old file and is said once, until a change works again.
TEST_F(CapturedLog, AReopenThatFailsKeepsTheOldFileAndSaysSoOnce) {
    fs::create_directory(dir / "logs");
    const std::string path = dir / "logs/out.log";
    const platform::file_handle file = platform::open_log_file(path);
    captured_log log(path, file, rotation_rules(), start);
    log.write("one\r\n", 5, start);
    fs::rename(dir / "logs", dir / "moved");
    log.reopen(start);
    log.reopen(start);
    log.write("two\r\n", 5, start);
    const captured_log::news news = log.take_news();
    ASSERT_EQ(news.lines.size(), 1u);
    EXPECT_EQ(news.lines[0].rfind("error: couldn't reopen log file \"" + path + "\": ", 0), 0u)
        << news.lines[0];
    EXPECT_EQ(news.lost_bytes, 0u);
    fs::create_directory(dir / "logs");
    log.reopen(start);
    log.write("three\r\n", 7, start);
    EXPECT_EQ(read_file(dir / "moved/out.log"), "one\r\ntwo\r\n");
    EXPECT_EQ(read_file(path), "three\r\n");
    EXPECT_TRUE(log.take_news().lines.empty());
}

#ifndef _WIN32
// A log whose file was deleted under it: what went there since it was last seen alive is
// counted, nothing is waited for, and once the log can be opened again at its path the
// count is told with its reason. (Wine keeps an open file's name until its last handle is
// closed, and its folder with it: there the test cannot delete it.)
TEST_F(CapturedLog, AFileDeletedUnderItIsCountedAndOpenedAgain) {
    fs::create_directory(dir / "logs");
    const std::string path = dir / "logs/out.log";
    captured_log log(path, platform::open_log_file(path), rotation_rules(), start);
    log.write("kept\r\n", 6, start);
    log.write("x\r\n", 3, start + captured_log::deleted_check_ms);
    fs::remove_all(dir / "logs");
    log.write("lost\r\n", 6, start + 2 * captured_log::deleted_check_ms);
    log.write("lost\r\n", 6, start + 2 * captured_log::deleted_check_ms);
    EXPECT_EQ(log.take_news().lost_bytes, 0u); // not told while it cannot be written
    fs::create_directory(dir / "logs");
    log.write("back\r\n", 6, start + 4 * captured_log::deleted_check_ms);
    const captured_log::news news = log.take_news();
    EXPECT_EQ(news.lost_bytes, 15u);
    EXPECT_EQ(news.lost_error, platform::deleted_file_error());
    EXPECT_EQ(read_file(path), "back\r\n");
}

// A file that takes nothing (a full disk): the bytes are counted, the writer never waits,
// rotations are not tried on a file that does not grow, and the count with the first
// failure's reason is told once a write works again.
TEST_F(CapturedLog, WhatAFullDiskRefusesIsCountedAndToldOnceWritingWorks) {
    const platform::file_handle full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    captured_log log(live, full, by_size(1024), start);
    for (int i = 0; i < 1000; ++i) {
        log.write("0123456789\r\n", 12, start);
    }
    EXPECT_EQ(log.take_news().lost_bytes, 0u);
    log.reopen(start); // the path names a file of a disk with room
    log.write("back\r\n", 6, start);
    const captured_log::news news = log.take_news();
    EXPECT_EQ(news.lost_bytes, 12000u);
    EXPECT_EQ(news.lost_error, static_cast<std::uint32_t>(ENOSPC));
    EXPECT_EQ(read_file(live), "back\r\n");
}
#endif

// max_files applies after each rotation, to this log's rotated files only.
TEST_F(CapturedLog, MaxFilesKeepsTheNewestRotatedFiles) {
    write_file(dir / "out-error.log", "kept\n");
    auto log = open_log(by_size(1024, 2));
    const std::string line(100, 'x');
    for (int i = 0; i < 100; ++i) {
        const std::string numbered = line + std::to_string(i) + "\n";
        log->write(numbered.data(), numbered.size(), start);
    }
    log.reset();
    const std::vector<std::string> all = files();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_NE(read_file(all[2]).find(line + "99\n"), std::string::npos);
    EXPECT_EQ(read_file(dir / "out-error.log"), "kept\n");
}

} // namespace
