// The exit codes that the service reports with its stopped status, and the exit status
// that carries each where the service manager reads the process's status (systemd).
//
// Each code is a Windows system error code whose meaning fits. Where a failure has a
// system error code of its own (Windows: a log that cannot be opened), that code is
// reported instead; docs/exit-codes.md lists every code an operator may see, and its
// table of exit statuses is checked against exit_statuses below.
#pragma once

#include <cstdint>

// The service's command line names no settings file (ERROR_BAD_ARGUMENTS).
constexpr std::uint32_t exit_no_settings_path = 160;

// The settings cannot be used: the file cannot be read, is not well-formed XML or is not
// a settings document, or names a class or start method that is not there
// (ERROR_BAD_CONFIGURATION).
constexpr std::uint32_t exit_bad_configuration = 1610;

// The start failed and nothing on the way left an error code (ERROR_FUNCTION_FAILED): a
// failed start must never be reported with exit code 0, which means a normal stop.
constexpr std::uint32_t exit_start_failed = 1627;

// The exit code of a failed step that left `code`: exit_start_failed where it left none.
constexpr std::uint32_t failed_start_code(std::uint32_t code) {
    return code != 0 ? code : exit_start_failed;
}

// The Java program ended the process with a non-zero status, which the service-specific
// exit code carries (ERROR_SERVICE_SPECIFIC_ERROR).
constexpr std::uint32_t exit_java_status = 1066;

// The start or the stop did not complete within the settings' start_timeout or
// stop_timeout (ERROR_SERVICE_REQUEST_TIMEOUT).
constexpr std::uint32_t exit_request_timeout = 1053;

// The start method threw (ERROR_EXCEPTION_IN_SERVICE).
constexpr std::uint32_t exit_start_threw = 1064;

// The Java program ended the process with status 0 before the service was running
// (ERROR_PROCESS_ABORTED): the service never ran, which no status makes a normal end.
constexpr std::uint32_t exit_ended_before_running = 1067;

// A log file cannot be opened (ERROR_CANNOT_MAKE), where the system's own error codes are
// not the service manager's (POSIX errno values).
constexpr std::uint32_t exit_log_not_opened = 82;

// The working directory cannot be entered (ERROR_DIRECTORY), where the system's own error
// codes are not the service manager's.
constexpr std::uint32_t exit_bad_directory = 267;

// A run in a console was ended at once by a second stop request, while the start or the
// stop was under way (ERROR_CONTROL_C_EXIT).
constexpr std::uint32_t exit_console_interrupted = 572;

// An exit status of the BSD sysexits kind, which systemctl shows by name
// ("status=78/CONFIG").
struct exit_status_entry {
    std::uint32_t exit_code;
    std::uint32_t status;
};

// The exit codes whose status is not the code itself; every other code up to 255 is its
// own status, every larger one 1. exit_java_status is not among them: its status is the
// Java program's own.
extern const exit_status_entry exit_statuses[];
extern const std::size_t exit_status_count;

// The exit status that carries `exit_code` (and, with exit_java_status, the
// service-specific `specific`) in eight bits: 0 for 0, never 0 for a failure.
std::uint32_t carried_exit_status(std::uint32_t exit_code, std::uint32_t specific);

// The process's exit status for a service that ended with `exit_code` (and, with
// exit_java_status, the service-specific `specific`): 0 after a normal stop and never 0
// after a failure, where the status carries the result (systemd, which reads only its
// low eight bits): carried_exit_status. On Windows, where the service control manager reads the
// stopped report, it is 0, or the Java program's own status after System.exit(N) or
// Runtime.halt(N); in a console run, where nothing reads the report, the exit code itself
// (or that status).
std::uint32_t process_status_for(std::uint32_t exit_code, std::uint32_t specific);
