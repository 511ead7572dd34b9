#include "service/time_limits.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/last_error.h"
#include "platform/service_control.h"
#include "service/exit_codes.h"
#include "service/host_errors.h"
#include "service/log_lines.h"
#include "service/report_status.h"
#include "service/service_end.h"
#include "settings/settings.h"

namespace {

using watch_clock = std::chrono::steady_clock;
using milliseconds = std::chrono::milliseconds;

// A stop under way is reported again this often, each report with the next check-point.
constexpr milliseconds progress_interval{1000};

constexpr std::uint32_t usual_stop_wait_hint = 5000;

struct watch_state {
    std::mutex lock;
    std::condition_variable changed;
    bool active = false;          // a watch has begun and its end is not noted yet
    bool expired = false;         // the deadline passed first
    std::uint64_t generation = 0; // which watch is the current one
    std::uint32_t state = 0;      // the pending state the current watch limits
    watch_clock::time_point deadline;
};

// Never destroyed: a watch's thread may still be on its way out when the process ends.
watch_state& watch = *new watch_state;
watch_clock::time_point start_requested;

std::uint32_t milliseconds_left(watch_clock::time_point deadline) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - watch_clock::now()).count();
    return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

[[noreturn]] void end_at_deadline(const char* what, std::uint32_t limit) {
    end_service_now(exit_request_timeout, 0, [what, limit] { report_deadline(what, limit); });
}

// Waits until the watch ends or the deadline passes; true when the deadline passed first.
// A stop is reported again every progress_interval meanwhile.
bool wait_out(std::uint64_t generation, watch_clock::time_point deadline, bool with_progress) {
    std::unique_lock<std::mutex> hold(watch.lock);
    // A watch that has ended stays ended, even when the next one begins before this
    // thread wakes.
    const auto ended = [generation] { return !watch.active || watch.generation != generation; };
    for (;;) {
        const watch_clock::time_point next =
            with_progress ? std::min(deadline, watch_clock::now() + progress_interval) : deadline;
        if (watch.changed.wait_until(hold, next, ended)) {
            return false;
        }
        if (watch_clock::now() >= deadline) {
            watch.expired = true;
            return true;
        }
        // Sent under the lock, so that no progress report follows the stopped report.
        report_more_progress(platform::service_stop_pending, milliseconds_left(deadline));
    }
}

void run_watch(std::uint64_t generation, const char* what, std::uint32_t limit,
               watch_clock::time_point deadline, bool with_progress) {
    if (wait_out(generation, deadline, with_progress)) {
        end_at_deadline(what, limit);
    }
}

// False, with the system's reason, when no thread can watch: the limit cannot be kept.
bool begin_watch(std::uint32_t state, std::uint32_t limit, watch_clock::time_point deadline,
                 std::string& reason) {
    const bool stop = state == platform::service_stop_pending;
    const char* what = stop ? "stop" : "start";
    std::lock_guard<std::mutex> hold(watch.lock);
    try {
        std::thread(run_watch, watch.generation + 1, what, limit, deadline, stop).detach();
    } catch (const std::system_error& error) {
        reason = error.code().message();
        return false;
    }
    ++watch.generation;
    watch.active = true;
    watch.state = state;
    watch.deadline = deadline;
    return true;
}

} // namespace

void note_start_requested() {
    start_requested = watch_clock::now();
}

std::uint32_t watch_start(std::uint32_t check_point) {
    if (!settings.start_timeout) {
        return 0;
    }
    const std::uint32_t limit = *settings.start_timeout;
    const watch_clock::time_point deadline = start_requested + milliseconds(limit);
    // Reported even when no time is left (the settings took longer to read than the whole
    // limit), so that the manager always hears the limit before the end it brings.
    const std::uint32_t left = milliseconds_left(deadline);
    if (!report_status(platform::service_start_pending, 0, check_point, left)) {
        return failed_start_code(platform::last_error());
    }
    if (left == 0) {
        end_at_deadline("start", limit);
    }
    // A start_timeout that cannot be kept is no start_timeout: the start fails rather than
    // run unwatched.
    std::string reason;
    if (!begin_watch(platform::service_start_pending, limit, deadline, reason)) {
        write_host_failure("watch the start's time limit", reason);
        return exit_start_failed;
    }
    return 0;
}

bool has_stop_timeout() {
    return settings.stop_timeout.has_value();
}

bool wait_hint_is_time_left(std::uint32_t state) {
    return (state == platform::service_start_pending && settings.start_timeout) ||
           (state == platform::service_stop_pending && settings.stop_timeout);
}

std::uint32_t stop_wait_hint() {
    return settings.stop_timeout ? *settings.stop_timeout : usual_stop_wait_hint;
}

void watch_stop() {
    // Counted from the request: the stop-pending report that follows is already part of it.
    std::string reason;
    if (settings.stop_timeout &&
        !begin_watch(platform::service_stop_pending, *settings.stop_timeout,
                     watch_clock::now() + milliseconds(*settings.stop_timeout), reason)) {
        report_not_watched("stop", reason);
    }
}

bool end_watch() {
    std::lock_guard<std::mutex> hold(watch.lock);
    watch.active = false;
    watch.changed.notify_all();
    return !watch.expired;
}

std::optional<std::uint32_t> time_left_in(std::uint32_t state) {
    std::lock_guard<std::mutex> hold(watch.lock);
    if (!watch.active || watch.state != state) {
        return std::nullopt;
    }
    return milliseconds_left(watch.deadline);
}
