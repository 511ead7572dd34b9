#include "service/control_handler.h"

#include <atomic>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/service_control.h"
#include "service/log_streams.h"
#include "service/reopen_logs.h"
#include "service/report_status.h"
#include "service/stop_path.h"
#include "service/stop_requests.h"
#include "service/time_limits.h"

namespace {

std::atomic<bool> stop_begun{false};
std::mutex stop_thread_lock;
std::thread stop_thread;
// The thread of a stop that the Java program asked for; made at most once.
std::mutex program_stop_lock;
std::thread program_stop_thread;

// The stop path runs on a thread of its own: the service control manager gives a handler
// only so long to return, and a stop method, or a Java program that ends the process
// from inside it, must not hold the manager's call. If no thread can be made, the
// handler's own thread has to do.
void start_stop_path() {
    std::unique_lock<std::mutex> hold(stop_thread_lock);
    try {
        stop_thread = std::thread(run_stop_path);
    } catch (const std::system_error&) {
        hold.unlock();
        run_stop_path();
    }
}

// What a stop request does once it is the first, on the thread that runs the stop.
void stop_now() {
    watch_stop();
    // A failed report has run the stop path already.
    if (report_status(platform::service_stop_pending, 0, 1, stop_wait_hint())) {
        run_stop_path();
    }
}

} // namespace

void control_handler(std::uint32_t control) {
    if (is_stop_request(control)) {
        note_end_begun();
        const bool first = !stop_begun.exchange(true);
        if (!first && has_stop_timeout()) {
            return; // a stop against a deadline is under way; a second request changes nothing
        }
        if (first) {
            watch_stop();
        }
        // A failed report has run the stop path already. A second request finds it under
        // way: it runs once. (Its report repeats the check-point last reported.)
        const bool reported = report_status(platform::service_stop_pending, 0, 1, stop_wait_hint());
        if (first && reported) {
            start_stop_path();
        }
        return;
    }
    if (control == platform::service_control_reopen_logs && logs_reopen_on_request()) {
        report_current_state_noting(reopen_logs() ? "logs reopened"
                                                  : "a log could not be reopened");
        return;
    }
    // The service has no paused state: pause and continue change nothing.
    report_status(0, 0, 0, 0);
}

void stop_on_service_thread() {
    note_end_begun();
    if (!stop_begun.exchange(true)) {
        stop_now();
    }
}

bool stop_on_program_request() {
    std::lock_guard<std::mutex> hold(program_stop_lock);
    if (stop_begun.load() || program_stop_thread.joinable()) {
        return false;
    }
    // The thread is made before the stop is claimed, so that a claim is never taken back:
    // a stop request that found it claimed has let it be.
    std::promise<bool> claimed;
    std::future<bool> go = claimed.get_future();
    try {
        program_stop_thread = std::thread([go = std::move(go)]() mutable {
            if (go.get()) {
                stop_now();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    const bool first = !stop_begun.exchange(true);
    if (first) {
        note_end_begun();
    }
    claimed.set_value(first);
    return first;
}

void join_stop_path() {
    {
        std::lock_guard<std::mutex> hold(stop_thread_lock);
        if (stop_thread.joinable()) {
            stop_thread.join();
        }
    }
    std::lock_guard<std::mutex> hold(program_stop_lock);
    if (program_stop_thread.joinable()) {
        program_stop_thread.join();
    }
}
