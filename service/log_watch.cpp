// The logs where the program writes them itself (Linux): its standard output and error are
// the files, and a rotation moves the file under it. A thread of orvo's looks at the sizes
// when the files have been written (at most every 10 ms while they are: the bound of how
// far past max_size a file grows is what the program writes in that time and in the wait
// for a line end below) and at the clock at local midnight. A rotation renames the live
// file, opens a new one at its path and, once the old one ends with a line end, puts the
// new one in place of it with dup2, in one step for every writer: a write goes whole to
// the old file or to the new one. The Java VM writes a line of up to 8 KiB in one call;
// one it writes in several calls, or output that does not end its line, is swapped after
// 100 ms without a line end all the same, and goes on in the new file.
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "platform/log_files.h"
#include "platform/standard_error.h"
#include "platform/write_watch.h"
#include "service/log_lines.h"
#include "service/log_streams.h"
#include "service/report_status.h"

namespace {

constexpr std::chrono::milliseconds pace{10};
constexpr std::chrono::milliseconds line_end_wait{100};
// A wait for midnight looks at the clock again this often, so that a clock that was set
// forward is followed.
constexpr std::int64_t longest_wait_ms = 60 * 1000;

const char rotated_note[] = "logs rotated";
const char not_rotated_note[] = "a log could not be rotated";

// A log as the start installed it.
struct installed_log {
    platform::standard_stream stream;
    platform::file_handle file;
    std::string path;
};

struct watched_log {
    explicit watched_log(const installed_log& log)
        : path(log.path), streams{log.stream}, installed_file(log.file), names(path) {}

    std::string path;
    std::vector<platform::standard_stream> streams; // one, or both for a shared file
    platform::file_handle installed_file;           // what the start installed
    rotated_files names;
    std::int64_t next_midnight = 0;
    std::uint64_t retry_size = 0; // after a failed rotation: the size to try again at
    bool failing = false;         // the last rotation failed, and said so
};

struct log_watch {
    rotation_rules rules;
    std::vector<std::unique_ptr<watched_log>> logs;
    platform::write_watch writes;
    bool ending = false;
    std::thread thread;
};

// The standard streams change under this lock only: a rotation, a reopen on request.
std::mutex streams_lock;
std::vector<installed_log> installed;
// Never destroyed: the process may end while its thread still waits.
log_watch* watch = nullptr;

platform::file_handle current_file(const watched_log& log) {
    return platform::standard_handle(log.streams.front());
}

// The old file is still the stream's until the swap.
void wait_for_line_end(const watched_log& log) {
    const auto give_up = std::chrono::steady_clock::now() + line_end_wait;
    while (platform::ends_mid_line(current_file(log)) &&
           std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A failed rotation is tried again once the file has grown by max_size more (or at the
// next midnight), and said only the first time, so that a log folder that is gone does
// not fill the other log with the same line.
bool rotate(watched_log& log, std::uint64_t size, std::int64_t now) {
    const rotation_step step = rotate_live_file(log.path, current_file(log), log.names, now);
    log.next_midnight = platform::next_local_midnight(now);
    if (step.error != 0) {
        log.retry_size = watch->rules.retry_size_after(size);
        if (!log.failing) {
            report_not_reopened(log.path, platform::error_text(step.error));
        }
        log.failing = true;
        return false;
    }
    if (!step.rotated.empty()) {
        wait_for_line_end(log);
    }
    for (const platform::standard_stream stream : log.streams) {
        platform::set_standard_handle(stream, step.file);
    }
    if (watch->rules.max_files) {
        log.names.keep_newest(*watch->rules.max_files);
    }
    log.retry_size = 0;
    log.failing = false;
    return true;
}

// Rotates every log that is due; the note for the service manager, or null.
const char* rotate_due_logs(std::int64_t now) {
    const char* note = nullptr;
    for (const auto& log : watch->logs) {
        std::uint64_t size = 0;
        if (!platform::file_size(current_file(*log), size)) {
            continue;
        }
        const rotation_rules& rules = watch->rules;
        const bool by_size = rules.due_by_size(size, log->retry_size);
        if (rules.daily && now >= log->next_midnight && size == 0) {
            log->next_midnight = platform::next_local_midnight(now); // nothing to rotate
        }
        if (by_size || (rules.daily && now >= log->next_midnight)) {
            note = rotate(*log, size, now) ? (note == nullptr ? rotated_note : note)
                                           : not_rotated_note;
        }
    }
    return note;
}

void arm_watches() {
    std::vector<platform::file_handle> files;
    for (const auto& log : watch->logs) {
        files.push_back(current_file(*log));
    }
    watch->writes.arm(files);
}

std::int64_t ms_to_midnight(std::int64_t now) {
    if (!watch->rules.daily) {
        return -1;
    }
    std::int64_t next = now + longest_wait_ms;
    for (const auto& log : watch->logs) {
        next = std::min(next, log->next_midnight);
    }
    return std::max<std::int64_t>(next - now, 0);
}

void run_watch() {
    for (;;) {
        const char* note = nullptr;
        std::int64_t timeout = -1;
        {
            std::lock_guard<std::mutex> hold(streams_lock);
            if (watch->ending) {
                return;
            }
            const std::int64_t now = platform::now_ms();
            note = rotate_due_logs(now);
            arm_watches();
            // A write between the look and the watch is not missed.
            if (const char* again = rotate_due_logs(now)) {
                note = again;
                arm_watches();
            }
            timeout = ms_to_midnight(now);
        }
        if (note != nullptr) {
            report_running_noting(note);
        }
        if (watch->writes.wait(timeout) == platform::write_watch::woken_by::write) {
            std::this_thread::sleep_for(pace);
        }
    }
}

// The installed logs that can be rotated, one entry for a file both streams have.
void add_watched_logs(log_watch& into) {
    const std::int64_t now = platform::now_ms();
    for (const installed_log& log : installed) {
        if (!platform::is_disk_file(log.file)) {
            continue; // a pipe or a device grows nowhere and cannot be renamed
        }
        const auto shared =
            std::find_if(into.logs.begin(), into.logs.end(),
                         [&](const auto& known) { return known->installed_file == log.file; });
        if (shared != into.logs.end()) {
            (*shared)->streams.push_back(log.stream);
            continue;
        }
        into.logs.push_back(std::make_unique<watched_log>(log));
        into.logs.back()->next_midnight = platform::next_local_midnight(now);
    }
}

} // namespace

bool install_log(platform::standard_stream stream, platform::file_handle log,
                 const std::string& path, const rotation_rules& /*rules*/) {
    platform::move_to_end(log);
    platform::set_standard_handle(stream, log);
    if (log != platform::invalid_file_handle) {
        installed.push_back({stream, log, path});
    }
    return true;
}

bool start_log_rotation(const rotation_rules& rules) {
    if (!rules.rotates()) {
        return true;
    }
    auto started = std::make_unique<log_watch>();
    started->rules = rules;
    add_watched_logs(*started);
    if (started->logs.empty()) {
        return true;
    }
    watch = started.release();
    try {
        watch->thread = std::thread(run_watch);
    } catch (const std::system_error& error) {
        platform::set_last_error(static_cast<std::uint32_t>(error.code().value()));
        return false;
    }
    return true;
}

bool logs_reopen_on_request() {
    return true;
}

bool logs_captured() {
    return false;
}

bool reopen_captured_logs() {
    return false;
}

logs_held::logs_held() {
    streams_lock.lock();
}

logs_held::~logs_held() {
    if (watch != nullptr) {
        const std::int64_t now = platform::now_ms();
        for (const auto& log : watch->logs) {
            log->next_midnight = platform::next_local_midnight(now);
            log->retry_size = 0;
            log->failing = false;
        }
        watch->writes.wake(); // to watch the files now in place
    }
    streams_lock.unlock();
}

void drain_logs() {}

void end_logs() {
    {
        std::lock_guard<std::mutex> hold(streams_lock);
        if (watch == nullptr || watch->ending) {
            return;
        }
        watch->ending = true;
    }
    watch->writes.wake();
    if (watch->thread.joinable()) {
        watch->thread.join();
    }
}
