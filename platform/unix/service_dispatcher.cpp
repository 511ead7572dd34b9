// The service dispatcher under systemd's notify protocol.
//
// The process counts as started by a service manager when NOTIFY_SOCKET names the
// manager's socket. The dispatcher then runs the service's main function on a thread of
// its own and, on the thread that called it, turns SIGTERM and SIGINT into stop requests,
// SIGHUP into interrogate requests and SIGUSR1 into requests to reopen the logs for the
// registered handler, one at a time, until the main function has returned. As under the
// Windows service control manager, requests reach the handler only while the service is
// running: those that come while start is pending wait, in order, until running has been
// reported; those that come once stop is pending or stopped has been reported are dropped.
//
// The requests come as signals: see control_requests.cpp.
//
// The console dispatcher is the same dispatcher without the notify socket: each report is
// written as a line to the standard error the process was started with, SIGHUP (the
// terminal hung up) is a stop request too, and a stop request made while one is held or
// under way calls the insist function, on the dispatcher's thread.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "platform/console_run.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "platform/standard_error.h"
#include "platform/unix/control_requests.h"
#include "platform/unix/notify_message.h"
#include "platform/unix/notify_socket.h"

namespace platform {

namespace {

constexpr std::uint32_t error_invalid_handle = 6;
constexpr std::uint32_t error_invalid_parameter = 87;

// What the dispatcher and the status reports share.
struct dispatcher_state {
    std::mutex lock;
    notify_socket socket;
    control_handler_function handler = nullptr;
    // The state the service manager was last told of; start is pending from the moment
    // the manager started the process.
    std::uint32_t reported_state = service_start_pending;
    bool main_returned = false;
    // Set for a console run: where the reports go, and who hears a second stop request.
    bool console = false;
    insist_function insist = nullptr;
};

dispatcher_state dispatcher;

std::uint32_t control_for(unsigned char signal) {
    switch (signal) {
    case SIGHUP:
        return dispatcher.console ? service_control_stop : service_control_interrogate;
    case SIGUSR1:
        return service_control_reopen_logs;
    default:
        return service_control_stop;
    }
}

std::uint32_t reported_state() {
    std::lock_guard<std::mutex> hold(dispatcher.lock);
    return dispatcher.reported_state;
}

bool main_returned() {
    std::lock_guard<std::mutex> hold(dispatcher.lock);
    return dispatcher.main_returned;
}

// In a console, a stop request is taken once; false when it was not taken (the operator
// insisted, and the process is ending; or it came too late).
bool take_console_stop(std::uint32_t state) {
    static bool stop_taken = false;
    const stop_request_fate fate = fate_of_stop_request(state, stop_taken);
    stop_taken = true;
    if (fate == stop_request_fate::insist) {
        dispatcher.insist();
    }
    if (fate == stop_request_fate::take && state == service_start_pending) {
        write_initial_standard_error(stop_held_line,
                                     std::char_traits<char>::length(stop_held_line));
    }
    return fate == stop_request_fate::take;
}

// Requests wait while start is pending and are dropped once stop is pending.
void take_request(std::deque<std::uint32_t>& held, std::uint32_t control) {
    const std::uint32_t state = reported_state();
    if (dispatcher.console && control == service_control_stop && !take_console_stop(state)) {
        return;
    }
    if (state == service_start_pending || state == service_running) {
        held.push_back(control);
    }
}

void deliver_held(std::deque<std::uint32_t>& held) {
    while (!held.empty()) {
        const std::uint32_t state = reported_state();
        if (state == service_start_pending) {
            return;
        }
        if (state != service_running) {
            held.clear();
            return;
        }
        const std::uint32_t control = held.front();
        held.pop_front();
        control_handler_function handler;
        {
            std::lock_guard<std::mutex> hold(dispatcher.lock);
            handler = dispatcher.handler;
        }
        if (handler != nullptr) {
            handler(control);
        }
    }
}

void take_byte(std::deque<std::uint32_t>& held, unsigned char byte) {
    if (byte != wake_byte) {
        take_request(held, control_for(byte));
    }
}

void dispatch_controls() {
    std::deque<std::uint32_t> held;
    while (!main_returned()) {
        const std::string bytes = read_control_bytes();
        if (bytes.empty()) {
            return; // the pipe has failed: nothing more can arrive
        }
        for (const char byte : bytes) {
            take_byte(held, static_cast<unsigned char>(byte));
        }
        deliver_held(held);
    }
}

void run_service_main(service_main_function main, const char* name) {
    char* argv[] = {const_cast<char*>(name), nullptr};
    main(1, argv);
    {
        std::lock_guard<std::mutex> hold(dispatcher.lock);
        dispatcher.main_returned = true;
    }
    write_control_byte(wake_byte);
}

// A NOTIFY_SOCKET that no report can reach is no service manager: the operator is told
// why on standard error, where the service manager (or the shell) shows it.
bool notify_socket_usable(const char* socket_name) {
    const std::string problem = notify_address_problem(dispatcher.socket, socket_name);
    if (problem.empty()) {
        return true;
    }
    const std::string line = "error: NOTIFY_SOCKET names \"" + std::string(socket_name) +
                             "\", which cannot receive status reports: " + problem + ".\r\n";
    write_standard_error(line.data(), line.size());
    return false;
}

bool set_up(const char* socket_name) {
    if (!open_notify_socket(socket_name, dispatcher.socket) || !notify_socket_usable(socket_name)) {
        set_last_error(error_failed_service_controller_connect, "no service manager to report to");
        return false;
    }
    if (!open_control_requests()) {
        set_last_error(static_cast<std::uint32_t>(errno));
        return false;
    }
    return true;
}

bool valid_table(const service_table_entry* table) {
    if (table == nullptr || table[0].name == nullptr || table[0].main == nullptr) {
        set_last_error(error_invalid_parameter, "invalid parameter");
        return false;
    }
    return true;
}

// Runs the main function on a thread of its own and the requests on this one, until the
// main function has returned.
bool run_dispatcher(const service_table_entry* table) {
    return run_main_and_dispatch(table, run_service_main, dispatch_controls);
}

} // namespace

bool start_service_dispatcher(const service_table_entry* table) {
    const char* socket_name = std::getenv("NOTIFY_SOCKET");
    if (socket_name == nullptr || socket_name[0] == '\0') {
        set_last_error(error_failed_service_controller_connect, "no service manager to report to");
        return false;
    }
    if (!valid_table(table) || !set_up(socket_name)) {
        return false;
    }
    return run_dispatcher(table);
}

bool start_console_dispatcher(const service_table_entry* table, insist_function insist) {
    if (!valid_table(table) || insist == nullptr) {
        set_last_error(error_invalid_parameter, "invalid parameter");
        return false;
    }
    dispatcher.console = true;
    dispatcher.insist = insist;
    if (!open_control_requests()) {
        set_last_error(static_cast<std::uint32_t>(errno));
        return false;
    }
    return run_dispatcher(table);
}

service_status_handle register_control_handler(const char* name, control_handler_function handler) {
    if (name == nullptr || handler == nullptr ||
        (!dispatcher.console && dispatcher.socket.descriptor < 0)) {
        set_last_error(error_invalid_parameter, "invalid parameter");
        return nullptr;
    }
    std::lock_guard<std::mutex> hold(dispatcher.lock);
    dispatcher.handler = handler;
    return &dispatcher;
}

bool set_service_status(service_status_handle handle, const service_status& status) {
    if (handle != &dispatcher) {
        set_last_error(error_invalid_handle, "no service has this status handle");
        return false;
    }
    {
        // One report at a time, so that the state recorded is the one sent last.
        std::lock_guard<std::mutex> hold(dispatcher.lock);
        if (dispatcher.console) {
            const std::string line = console_report_line(status);
            write_initial_standard_error(line.data(), line.size());
        } else if (!send_notify_message(dispatcher.socket, notify_message(status))) {
            set_last_error(static_cast<std::uint32_t>(errno));
            return false;
        }
        dispatcher.reported_state = status.current_state;
    }
    write_control_byte(wake_byte);
    return true;
}

} // namespace platform
