// The service manager's side of a service: the dispatcher that runs the service's main
// function, the registration of its control handler and its status reports.
//
// On Windows these are the service control manager's own calls. Elsewhere the process
// plays the same part under systemd's notify protocol: see unix/service_dispatcher.cpp.
#pragma once

#include <cstdint>

namespace platform {

using service_main_function = void (*)(std::uint32_t argc, char** argv);
using control_handler_function = void (*)(std::uint32_t control);

// One entry of a service table; a table ends with an entry whose name is null.
struct service_table_entry {
    const char* name;
    service_main_function main;
};

// What a status report tells the service manager; the members mean what the Windows
// SERVICE_STATUS members of the same names mean, but for the note.
struct service_status {
    std::uint32_t service_type;
    std::uint32_t current_state;
    std::uint32_t controls_accepted;
    std::uint32_t win32_exit_code;
    std::uint32_t service_specific_exit_code;
    std::uint32_t check_point;
    std::uint32_t wait_hint;
    // Words for people that follow the state's own (the Linux STATUS= text), or null. The
    // Windows service control manager has no place for them.
    const char* note = nullptr;
    // The Java program's own words about where it stands, shown between the state's and the
    // note, or null; one line. Where the service manager shows no such words
    // (manager_shows_status_text), only a console run shows them.
    const char* program_text = nullptr;
    // The wait hint is the time left until a deadline of the service's own (its start or
    // stop time limit), not an estimate: a console run shows it as such.
    bool wait_hint_is_time_left = false;
    // The wait hint is the Java program's own estimate of the time it still needs: a
    // console run shows it as such.
    bool wait_hint_is_estimate = false;
};

// Whether the service manager shows a report's words for people: systemd does (STATUS=),
// the Windows service control manager does not.
#ifdef _WIN32
constexpr bool manager_shows_status_text = false;
#else
constexpr bool manager_shows_status_text = true;
#endif

// Opaque; null when the registration failed.
using service_status_handle = void*;

constexpr std::uint32_t service_win32_own_process = 16;

constexpr std::uint32_t service_stopped = 1;
constexpr std::uint32_t service_start_pending = 2;
constexpr std::uint32_t service_stop_pending = 3;
constexpr std::uint32_t service_running = 4;

constexpr std::uint32_t service_accept_stop = 1;
constexpr std::uint32_t service_accept_pause_continue = 2;
constexpr std::uint32_t service_accept_shutdown = 4;
constexpr std::uint32_t service_accept_preshutdown = 0x100;

constexpr std::uint32_t service_control_stop = 1;
constexpr std::uint32_t service_control_interrogate = 4;
constexpr std::uint32_t service_control_shutdown = 5;
// The early notice of a system shutdown, sent only to a service that accepts it. Windows
// then waits for the service up to its preshutdown timeout, rather than the few seconds
// that an ordinary shutdown leaves. Only the Windows service control manager sends it.
constexpr std::uint32_t service_control_preshutdown = 15;
#ifdef _WIN32
constexpr bool preshutdown_delivered = true;
#else
constexpr bool preshutdown_delivered = false;
#endif

// A request to open the log files again, a control of the user-defined range, after the
// logs have been renamed: the Linux dispatcher delivers it for SIGUSR1; on Windows an
// operator sends it (sc control NAME 128).
constexpr std::uint32_t service_control_reopen_logs = 128;

// The error of a dispatcher started by something other than a service manager.
constexpr std::uint32_t error_failed_service_controller_connect = 1063;

// Runs the services of `table` and returns true once they have ended; false at once
// (with the last-error code set) when the process was not started by a service manager.
bool start_service_dispatcher(const service_table_entry* table);

// What a console run calls when a stop is asked for again while one is under way (or held
// until the start is done): the operator insists, and the process is to end at once.
using insist_function = void (*)();

// Runs the service of `table` without a service manager: by hand in a console, or as a
// container's entry point. The main function and the control handler are the service's
// own; each status report becomes one "orvo: ..." line (console_report_line) on the
// standard error the process was started with, and the stop requests come from the
// console: SIGINT, SIGTERM and SIGHUP (the terminal hung up) on POSIX systems, Ctrl-C and
// the close, log-off and shutdown events on Windows. Requests wait while start is pending
// and are dropped once stop is pending, as under a service manager, except a second stop
// request, which calls `insist`. Returns true once the main function has returned; false,
// with the last-error code set, when it could not be set up.
bool start_console_dispatcher(const service_table_entry* table, insist_function insist);

// Registers the control handler of the service `name`; null on failure, with the
// last-error code set. On Windows it is registered as the extended handler, which alone
// receives the preshutdown control; every control is passed on to `handler` as it comes.
service_status_handle register_control_handler(const char* name, control_handler_function handler);

// Sends one status report; false on failure, with the last-error code set.
bool set_service_status(service_status_handle handle, const service_status& status);

// Around the Java VM's creation: stop and interrogate requests that arrive in between are
// taken as at any other moment while start is pending (held until running is reported),
// never by the handlers that the VM would otherwise install for them, which would end the
// process at once. Nothing to do on Windows, where requests do not come as signals.
void hold_control_requests();
void release_control_requests();

} // namespace platform
