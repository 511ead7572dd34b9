#include "service/report_status.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/last_error.h"
#include "platform/service_control.h"
#include "service/host_errors.h"
#include "service/service_globals.h"
#include "service/stop_path.h"
#include "service/stop_requests.h"
#include "service/time_limits.h"

namespace {

// Held while a report is made and sent: reports come from several threads (the service's,
// the control handler's, a time limit's watch, the Java program's), and one at a time the
// check-points only grow and a report of the current state says the state sent last.
std::mutex report_lock;

// The pending state reported last by name and its check-point: a later report of that
// state never goes back to an earlier check-point.
std::uint32_t last_pending_state = 0;
std::uint32_t last_check_point = 0;

// The Java program's words (orvo.Service.status), kept for every later report until it
// says others; empty when it said none.
std::string program_text;

// The note of the report sent last; null when it had none.
const char* last_note = nullptr;

bool is_pending(std::uint32_t state) {
    return state == platform::service_start_pending || state == platform::service_stop_pending;
}

// Call with report_lock held.
platform::service_status make_status(std::uint32_t new_state, std::uint32_t exit_code,
                                     std::uint32_t check_point, std::uint32_t wait_hint) {
    platform::service_status status{};
    status.service_type = platform::service_win32_own_process;
    if (new_state != 0) {
        current_state.store(new_state);
        status.current_state = new_state;
    } else {
        status.current_state = current_state.load();
    }
    if (new_state != 0 && is_pending(new_state) && check_point != 0) {
        if (new_state == last_pending_state) {
            check_point = std::max(check_point, last_check_point);
        }
        last_pending_state = new_state;
        last_check_point = check_point;
    }
    status.controls_accepted =
        new_state == platform::service_start_pending ? 0 : controls_when_started();
    status.win32_exit_code = exit_code;
    status.service_specific_exit_code = 0;
    status.check_point = check_point;
    status.wait_hint = wait_hint;
    status.wait_hint_is_time_left = wait_hint_is_time_left(status.current_state);
    status.program_text = program_text.empty() ? nullptr : program_text.c_str();
    return status;
}

// The error of the first report that could not be sent; 0 while every report went.
std::atomic<std::uint32_t> first_failed_report{0};

// Whether an end of the service is under way; the error of the failed report that began
// it, if one did.
std::atomic<bool> end_begun{false};
std::atomic<std::uint32_t> ending_report_error{0};

// Whether running has been reported: the service has run from then on.
std::atomic<bool> running_sent{false};

// Sends `status`; false, with the last-error code of the failed send, when it cannot be
// sent. The first failure is said where the operator looks: the service manager has not
// heard it, and will not hear the service's end either. A report of the service's own
// that fails begins its end; one the Java program asked for (`the_programs`) does not: the
// program hears false, and the service goes on as the next report of its own decides.
bool send(const platform::service_status& status, bool the_programs = false) {
    if (platform::set_service_status(status_handle, status)) {
        last_note = status.note;
        if (status.current_state == platform::service_running) {
            running_sent.store(true);
        }
        return true;
    }
    const std::uint32_t error = platform::last_error();
    const std::string words = platform::last_error_text();
    std::uint32_t none = 0;
    if (first_failed_report.compare_exchange_strong(none, error)) {
        write_host_failure("send a status report to the service manager", words);
    }
    bool begun = false;
    if (!the_programs && end_begun.compare_exchange_strong(begun, true)) {
        ending_report_error.store(error);
    }
    platform::set_last_error(error);
    return false;
}

// Makes a status with `make` and sends it, one report at a time.
template <typename Make> bool make_and_send(Make make) {
    std::lock_guard<std::mutex> hold(report_lock);
    return send(make());
}

// The service cannot tell the manager where it stands: bring it down. The failed report's
// error is what the caller ends the service with, whatever the stop path leaves behind.
bool stop_after_failed_report() {
    const std::uint32_t error = platform::last_error();
    run_stop_path();
    platform::set_last_error(error);
    return false;
}

// Sends what `make` makes, and brings the service down when that fails.
template <typename Make> bool send_or_stop(Make make) {
    return make_and_send(make) || stop_after_failed_report();
}

} // namespace

bool report_status(std::uint32_t new_state, std::uint32_t exit_code, std::uint32_t check_point,
                   std::uint32_t wait_hint) {
    return send_or_stop([=] { return make_status(new_state, exit_code, check_point, wait_hint); });
}

namespace {

// Call with report_lock held.
platform::service_status stopped_status(std::uint32_t exit_code, std::uint32_t specific) {
    platform::service_status status = make_status(platform::service_stopped, exit_code, 0, 0);
    status.service_specific_exit_code = specific;
    return status;
}

// The current state again, with `note`. Call with report_lock held.
platform::service_status noted_status(const char* note) {
    platform::service_status status = make_status(0, 0, 0, 0);
    status.note = note;
    return status;
}

} // namespace

bool report_stopped(std::uint32_t exit_code, std::uint32_t specific) {
    return send_or_stop([=] { return stopped_status(exit_code, specific); });
}

bool report_stopped_at_once(std::uint32_t exit_code, std::uint32_t specific) {
    return status_handle != nullptr &&
           make_and_send([=] { return stopped_status(exit_code, specific); });
}

namespace {

// Reports `state` again with the next check-point; false when the service is in another
// state by now, or the report could not be sent.
bool send_progress(std::uint32_t state, std::uint32_t wait_hint, bool time_left,
                   bool the_programs) {
    std::lock_guard<std::mutex> hold(report_lock);
    if (current_state.load() != state || last_pending_state != state) {
        return false;
    }
    platform::service_status status = make_status(state, 0, last_check_point + 1, wait_hint);
    status.wait_hint_is_time_left = time_left;
    status.wait_hint_is_estimate = !time_left;
    return send(status, the_programs);
}

} // namespace

bool report_more_progress(std::uint32_t state, std::uint32_t time_left) {
    return send_progress(state, time_left, true, false);
}

bool report_program_progress(std::uint32_t state, std::uint32_t wait_hint, bool time_left) {
    return send_progress(state, wait_hint, time_left, true);
}

bool report_program_text(const std::string& text) {
    std::lock_guard<std::mutex> hold(report_lock);
    const std::uint32_t state = current_state.load();
    if (state == platform::service_stopped) {
        return false;
    }
    if (text == program_text) {
        return true; // said already: a program that repeats itself is not a flood of reports
    }
    // The current state again, with the progress last reported and no more time asked for.
    platform::service_status status =
        make_status(state, 0, is_pending(state) ? last_check_point : 0, 0);
    status.wait_hint_is_time_left = false;
    status.program_text = text.empty() ? nullptr : text.c_str();
    if (!send(status, true)) {
        return false;
    }
    program_text = text;
    return true;
}

bool report_current_state_noting(const char* note) {
    return send_or_stop([=] { return noted_status(note); });
}

bool report_running_noting(const char* note) {
    {
        std::lock_guard<std::mutex> hold(report_lock);
        if (current_state.load() != platform::service_running ||
            (last_note != nullptr && std::strcmp(last_note, note) == 0)) {
            return true;
        }
        if (send(noted_status(note))) {
            return true;
        }
    }
    return stop_after_failed_report();
}

bool running_reported() {
    return running_sent.load();
}

void note_end_begun() {
    end_begun.store(true);
}

std::uint32_t failed_report_error() {
    return ending_report_error.load();
}
