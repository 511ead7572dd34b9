#include "service/report_status.h"

#include <atomic>

#include "platform/last_error.h"
#include "platform/service_control.h"
#include "service/host_errors.h"
#include "service/service_globals.h"
#include "service/stop_path.h"
#include "service/stop_requests.h"
#include "service/time_limits.h"

namespace {

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
    status.controls_accepted =
        new_state == platform::service_start_pending ? 0 : controls_when_started();
    status.win32_exit_code = exit_code;
    status.service_specific_exit_code = 0;
    status.check_point = check_point;
    status.wait_hint = wait_hint;
    status.wait_hint_is_time_left = wait_hint_is_time_left(status.current_state);
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
// heard it, and will not hear the service's end either.
bool send(const platform::service_status& status) {
    if (platform::set_service_status(status_handle, status)) {
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
    if (end_begun.compare_exchange_strong(begun, true)) {
        ending_report_error.store(error);
    }
    platform::set_last_error(error);
    return false;
}

// Sends `status`. The service cannot tell the manager where it stands when that fails:
// bring it down. The failed report's error is what the caller ends the service with,
// whatever the stop path leaves behind.
bool send_or_stop(const platform::service_status& status) {
    if (send(status)) {
        return true;
    }
    const std::uint32_t error = platform::last_error();
    run_stop_path();
    platform::set_last_error(error);
    return false;
}

} // namespace

bool report_status(std::uint32_t new_state, std::uint32_t exit_code, std::uint32_t check_point,
                   std::uint32_t wait_hint) {
    return send_or_stop(make_status(new_state, exit_code, check_point, wait_hint));
}

bool report_stopped_at_once(std::uint32_t exit_code, std::uint32_t specific) {
    platform::service_status status = make_status(platform::service_stopped, exit_code, 0, 0);
    status.service_specific_exit_code = specific;
    return status_handle != nullptr && send(status);
}

void report_progress(std::uint32_t new_state, std::uint32_t check_point, std::uint32_t wait_hint) {
    send(make_status(new_state, 0, check_point, wait_hint));
}

bool report_current_state_noting(const char* note) {
    platform::service_status status = make_status(0, 0, 0, 0);
    status.note = note;
    return send_or_stop(status);
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
