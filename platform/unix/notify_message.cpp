// Status reports as systemd notify messages.
#include "platform/unix/notify_message.h"

#include <cstdint>
#include <sstream>

namespace platform {

namespace {

std::string status_text(const service_status& status) {
    std::ostringstream text;
    switch (status.current_state) {
    case service_start_pending:
        // The program's own words say more of a start than a check-point's number.
        text << "Starting";
        if (status.program_text == nullptr) {
            text << " (check-point " << status.check_point << ")";
        }
        break;
    case service_running:
        text << "Running";
        break;
    case service_stop_pending:
        text << "Stopping";
        break;
    case service_stopped:
        text << "Stopped";
        if (status.service_specific_exit_code != 0) {
            text << " (exit code " << status.win32_exit_code << ", service-specific exit code "
                 << status.service_specific_exit_code << ")";
        } else if (status.win32_exit_code != 0) {
            text << " (exit code " << status.win32_exit_code << ")";
        }
        break;
    default:
        text << "State " << status.current_state;
        break;
    }
    if (status.program_text != nullptr) {
        text << ", " << status.program_text;
    }
    if (status.note != nullptr) {
        text << ", " << status.note;
    }
    return text.str();
}

bool is_pending(std::uint32_t state) {
    return state == service_start_pending || state == service_stop_pending;
}

} // namespace

std::string notify_message(const service_status& status) {
    std::ostringstream message;
    message << "X_ORVO_STATE=" << status.current_state << '\n'
            << "X_ORVO_CONTROLS=" << status.controls_accepted << '\n'
            << "X_ORVO_EXIT_CODE=" << status.win32_exit_code << '\n'
            << "X_ORVO_CHECKPOINT=" << status.check_point << '\n'
            << "X_ORVO_WAIT_HINT=" << status.wait_hint << '\n';
    // Only a service that ends with a code of its own (the Java program's exit status)
    // has one; every other report stays as it was.
    if (status.service_specific_exit_code != 0) {
        message << "X_ORVO_SERVICE_EXIT_CODE=" << status.service_specific_exit_code << '\n';
    }
    message << "STATUS=" << status_text(status);
    if (is_pending(status.current_state) && status.wait_hint != 0) {
        // systemd counts microseconds, the wait hint milliseconds.
        message << "\nEXTEND_TIMEOUT_USEC=" << std::uint64_t{status.wait_hint} * 1000;
    }
    if (status.current_state == service_running) {
        message << "\nREADY=1";
    } else if (status.current_state == service_stop_pending) {
        message << "\nSTOPPING=1";
    } else if (status.current_state == service_stopped) {
        message << "\nEXIT_STATUS=" << status.win32_exit_code;
    }
    return message.str();
}

} // namespace platform
