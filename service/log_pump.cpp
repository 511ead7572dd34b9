// The logs where orvo writes them itself (Windows), when the settings rotate them: each
// log file gets a pipe, which becomes the standard stream (both streams, for a file named
// for both), and a thread of its own, the pump, that drains the pipe into the file
// (captured_log: rotations and reopens between two lines, nothing waited for that the file
// cannot take).
//
// The pipe holds pipe_size bytes: while the pump renames and opens files, the program's
// writes go on into it, and only a program that writes faster than the disk takes its
// output waits, as it would for a slow disk. What is still in a pipe when the process is
// ended from outside (TerminateProcess) is lost: every end of orvo's own drains the pipes
// first (drain_logs).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/capture_pipe.h"
#include "platform/last_error.h"
#include "platform/local_time.h"
#include "platform/log_files.h"
#include "platform/standard_error.h"
#include "service/log_capture.h"
#include "service/log_streams.h"

namespace {

constexpr std::uint32_t pipe_size = 1024 * 1024;
// How long an end of the process waits for a pump that cannot write (a hung network
// share); and how much a drain takes from writers that do not stop writing.
constexpr std::chrono::seconds longest_drain{5};
constexpr std::size_t drain_limit = 2 * pipe_size;

struct pump {
    pump(const std::string& path, platform::file_handle file, const rotation_rules& rules)
        : log(path, file, rules, platform::now_ms()), installed_file(file) {}

    platform::capture_pipe pipe;
    captured_log log; // the pump's thread's own
    platform::file_handle installed_file;
    std::atomic<bool> both_streams{false};
    std::thread thread;

    // Requests of other threads, and their answers.
    std::mutex lock;
    std::condition_variable answered;
    std::vector<std::string> notes;
    std::uint64_t drains_asked = 0;
    std::uint64_t drains_done = 0;
    std::uint64_t reopens_asked = 0;
    std::uint64_t reopens_done = 0;
    bool mid_line = false; // the log, as the last drain left it, ends within a line
};

// Never destroyed: the pumps run until the process ends.
std::vector<pump*>& pumps() {
    static auto* all = new std::vector<pump*>();
    return *all;
}
std::atomic<pump*> error_pump{nullptr}; // the pump of the stderr log, if any

std::string lost_line(const pump& from, const captured_log::news& news) {
    std::ostringstream line;
    line << "error: " << news.lost_bytes << " bytes of "
         << (from.both_streams.load()     ? "standard output and standard error"
             : &from == error_pump.load() ? "standard error"
                                          : "standard output")
         << " could not be written: " << platform::error_text(news.lost_error) << ".\r\n";
    return line.str();
}

// What a log has to say goes to the stderr log, between two of its lines; where there is
// none that orvo writes, straight to standard error.
void pass_on_news(pump& from) {
    captured_log::news news = from.log.take_news();
    if (news.lost_bytes > 0) {
        news.lines.push_back(lost_line(from, news));
    }
    pump* errors = error_pump.load();
    for (const std::string& line : news.lines) {
        if (errors == &from) {
            from.log.add_note(line);
        } else if (errors != nullptr) {
            std::lock_guard<std::mutex> hold(errors->lock);
            errors->notes.push_back(line);
            errors->pipe.wake();
        } else {
            platform::write_standard_error(line.data(), line.size());
        }
    }
}

// Everything in the pipe now, and the notes waiting, into the file.
void drain(pump& p, std::int64_t now) {
    const char* data = nullptr;
    std::size_t size = 0;
    for (std::size_t taken = 0; taken < drain_limit && p.pipe.read_ready(data, size);
         taken += size) {
        p.log.write(data, size, now);
    }
    pass_on_news(p);
    p.log.write_notes_now(now);
}

// What other threads asked for since the last time; nothing to lock for when nothing was.
void serve_requests(pump& p, std::int64_t now) {
    std::vector<std::string> notes;
    std::uint64_t drains = 0;
    std::uint64_t reopens = 0;
    {
        std::lock_guard<std::mutex> hold(p.lock);
        if (p.notes.empty() && p.drains_asked == p.drains_done &&
            p.reopens_asked == p.reopens_done) {
            return;
        }
        notes.swap(p.notes);
        drains = p.drains_asked;
        reopens = p.reopens_asked;
    }
    for (const std::string& note : notes) {
        p.log.add_note(note);
    }
    if (reopens != p.reopens_done) {
        p.log.reopen(now);
    }
    if (drains != p.drains_done) {
        drain(p, now);
    }
    std::lock_guard<std::mutex> hold(p.lock);
    p.reopens_done = reopens;
    p.drains_done = drains;
    p.mid_line = p.log.mid_line();
    p.answered.notify_all();
}

void run_pump(pump& p) {
    for (;;) {
        const char* data = nullptr;
        std::size_t size = 0;
        const auto status = p.pipe.read(p.log.ms_until_due(platform::now_ms()), data, size);
        const std::int64_t now = platform::now_ms();
        if (status == platform::capture_pipe::read_status::data) {
            p.log.write(data, size, now);
        } else {
            p.log.tick(now);
        }
        serve_requests(p, now);
        pass_on_news(p);
    }
}

// Asks `p` for what `asked` counts and waits, a bounded time, for its answer.
bool ask(pump& p, std::uint64_t pump::*asked, std::uint64_t pump::*done) {
    std::unique_lock<std::mutex> hold(p.lock);
    const std::uint64_t request = ++(p.*asked);
    p.pipe.wake();
    return p.answered.wait_for(hold, longest_drain, [&] { return p.*done >= request; });
}

pump* pump_of(platform::file_handle file) {
    for (pump* known : pumps()) {
        if (known->installed_file == file) {
            return known;
        }
    }
    return nullptr;
}

// Before one of orvo's own lines goes into the stderr log's pipe: whether the log, with
// everything written before the line, ends within a line, so that the line begins one of
// its own. The pump's own thread never asks (it would wait for itself).
bool error_log_ends_mid_line() {
    pump* errors = error_pump.load();
    if (errors == nullptr || std::this_thread::get_id() == errors->thread.get_id() ||
        !ask(*errors, &pump::drains_asked, &pump::drains_done)) {
        return false;
    }
    std::lock_guard<std::mutex> hold(errors->lock);
    return errors->mid_line;
}

bool start_pump(const std::string& path, platform::file_handle log, const rotation_rules& rules,
                pump*& started) {
    platform::move_to_end(log);
    auto made = std::make_unique<pump>(path, log, rules);
    if (!made->pipe.open(pipe_size)) {
        return false;
    }
    pump* p = made.get();
    try {
        made->thread = std::thread(run_pump, std::ref(*p));
    } catch (const std::system_error& error) {
        platform::set_last_error(static_cast<std::uint32_t>(error.code().value()));
        return false;
    }
    pumps().push_back(made.release());
    started = p;
    return true;
}

} // namespace

bool install_log(platform::standard_stream stream, platform::file_handle log,
                 const std::string& path, const rotation_rules& rules) {
    if (log == platform::invalid_file_handle || !rules.rotates() || !platform::is_disk_file(log)) {
        platform::move_to_end(log);
        platform::set_standard_handle(stream, log);
        return true;
    }
    pump* p = pump_of(log);
    if (p != nullptr) {
        p->both_streams.store(true);
    } else if (!start_pump(path, log, rules, p)) {
        return false;
    }
    if (stream == platform::standard_stream::error) {
        error_pump.store(p);
        platform::set_captured_line_query(error_log_ends_mid_line);
    }
    platform::set_standard_handle(stream, p->pipe.write_end());
    return true;
}

bool start_log_rotation(const rotation_rules& /*rules*/) {
    return true; // the pumps rotate as they write
}

bool logs_reopen_on_request() {
    return logs_captured();
}

bool logs_captured() {
    return !pumps().empty();
}

bool reopen_captured_logs() {
    bool answered = true;
    for (pump* p : pumps()) {
        answered = ask(*p, &pump::reopens_asked, &pump::reopens_done) && answered;
    }
    return answered;
}

logs_held::logs_held() = default;

logs_held::~logs_held() = default;

// The stderr log's pump last: what the others have to say reaches it first.
void drain_logs() {
    pump* errors = error_pump.load();
    for (pump* p : pumps()) {
        if (p != errors) {
            ask(*p, &pump::drains_asked, &pump::drains_done);
        }
    }
    if (errors != nullptr) {
        ask(*errors, &pump::drains_asked, &pump::drains_done);
    }
}

void end_logs() {
    drain_logs();
}
