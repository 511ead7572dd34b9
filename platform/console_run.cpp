#include "platform/console_run.h"

#include <sstream>
#include <system_error>
#include <thread>

#include "platform/last_error.h"

namespace platform {

namespace {

const char* state_words(std::uint32_t state) {
    switch (state) {
    case service_start_pending:
        return "start pending";
    case service_running:
        return "running";
    case service_stop_pending:
        return "stop pending";
    case service_stopped:
        return "stopped";
    default:
        return "in state";
    }
}

} // namespace

std::string console_report_line(const service_status& status) {
    std::ostringstream line;
    line << "orvo: " << state_words(status.current_state);
    const std::uint32_t state = status.current_state;
    if (state == service_start_pending || state == service_stop_pending) {
        line << " (check-point " << status.check_point;
        if (status.wait_hint_is_time_left) {
            line << ", " << status.wait_hint << " ms left";
        } else if (status.wait_hint_is_estimate) {
            line << ", about " << status.wait_hint << " ms more";
        }
        line << ")";
    } else if (state == service_stopped) {
        line << " (exit code " << status.win32_exit_code;
        if (status.service_specific_exit_code != 0) {
            line << ", the Java program's status " << status.service_specific_exit_code;
        }
        line << ")";
    } else if (state != service_running) {
        line << " " << state;
    }
    if (status.program_text != nullptr) {
        line << ", " << status.program_text;
    }
    if (status.note != nullptr) {
        line << ", " << status.note;
    }
    line << "\r\n";
    return line.str();
}

stop_request_fate fate_of_stop_request(std::uint32_t reported_state, bool taken_before) {
    if (reported_state == service_stopped) {
        return stop_request_fate::drop;
    }
    return taken_before || reported_state == service_stop_pending ? stop_request_fate::insist
                                                                  : stop_request_fate::take;
}

const char stop_held_line[] = "orvo: stop requested while starting: the service stops once it "
                              "runs; a second request ends it at once\r\n";

bool run_main_and_dispatch(const service_table_entry* table,
                           void (*run_main)(service_main_function main, const char* name),
                           void (*dispatch)()) {
    std::thread service_thread;
    try {
        service_thread = std::thread(run_main, table[0].main, table[0].name);
    } catch (const std::system_error& error) {
        set_last_error(static_cast<std::uint32_t>(error.code().value()));
        return false;
    }
    dispatch();
    service_thread.join();
    return true;
}

} // namespace platform
