#include "service/program_requests.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <string>

#include "javahost/service_class.h"
#include "platform/service_control.h"
#include "service/control_handler.h"
#include "service/exit_codes.h"
#include "service/log_lines.h"
#include "service/report_status.h"
#include "service/service_globals.h"
#include "service/time_limits.h"
#include "settings/visible_text.h"

namespace {

enum class phase {
    starting, // the start method runs: a stop request fails the start
    started,  // it has returned: a stop request waits for running
    running,  // a stop request stops the service at once
    over,     // a stop is under way, or the start failed: none is taken
};

std::mutex lock;
phase now = phase::starting;
std::optional<std::uint32_t> asked; // the exit code of the stop request taken

// "About `millis` ms more" for the pending `state`: never beyond the time limit of the
// settings, which the program cannot move.
bool progress(std::uint32_t state, std::int64_t millis) {
    if (millis < 1) {
        return false;
    }
    std::uint32_t hint = static_cast<std::uint32_t>(
        std::min<std::int64_t>(millis, std::numeric_limits<std::uint32_t>::max()));
    bool time_left = false;
    if (const std::optional<std::uint32_t> left = time_left_in(state)) {
        if (*left == 0) {
            return false; // the deadline has passed: the service is ending
        }
        if (*left <= hint) {
            hint = *left;
            time_left = true;
        }
    }
    return report_program_progress(state, hint, time_left);
}

bool on_starting(std::int64_t millis) {
    return progress(platform::service_start_pending, millis);
}

bool on_stopping(std::int64_t millis) {
    return progress(platform::service_stop_pending, millis);
}

// Where no one shows the words, they are not taken.
bool on_status(const std::string& text) {
    return (platform::manager_shows_status_text || run_in_console) &&
           report_program_text(visible(text));
}

bool on_request_stop(std::int32_t exit_code) {
    if (exit_code < 0 || exit_code > 255) {
        return false;
    }
    std::lock_guard<std::mutex> hold(lock);
    if (asked || now == phase::over) {
        return false;
    }
    if (now == phase::running && !stop_on_program_request()) {
        return false;
    }
    asked = static_cast<std::uint32_t>(exit_code);
    if (now == phase::starting || exit_code != 0) {
        report_stop_asked(*asked, now == phase::starting);
    }
    return true;
}

} // namespace

void install_program_requests() {
    service_requests requests;
    requests.starting = on_starting;
    requests.stopping = on_stopping;
    requests.status = on_status;
    requests.request_stop = on_request_stop;
    set_service_requests(requests);
}

std::optional<end_codes> stop_asked_in_start(bool start_succeeded) {
    std::lock_guard<std::mutex> hold(lock);
    if (asked) {
        now = phase::over;
        // 0 asks for the end of a service that never ran, which no code makes a normal one.
        return *asked == 0 ? end_codes{exit_ended_before_running, 0}
                           : end_codes{exit_java_status, *asked};
    }
    now = start_succeeded ? phase::started : phase::over;
    return std::nullopt;
}

void begin_stop_asked_before_running() {
    bool pending = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        now = phase::running;
        pending = asked.has_value();
    }
    if (pending) {
        stop_on_service_thread();
    }
}

std::optional<end_codes> program_stop_codes() {
    std::lock_guard<std::mutex> hold(lock);
    if (!asked) {
        return std::nullopt;
    }
    return *asked == 0 ? end_codes{0, 0} : end_codes{exit_java_status, *asked};
}
