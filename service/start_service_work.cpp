#include "service/start_service_work.h"

#include <string>

#include "javahost/java_vm.h"
#include "javahost/server.h"
#include "platform/event_log.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "platform/standard_handles.h"
#include "service/exit_codes.h"
#include "service/host_errors.h"
#include "service/load_service_settings.h"
#include "service/log_streams.h"
#include "service/program_requests.h"
#include "service/service_globals.h"
#include "service/stop_path.h"
#include "service/time_limits.h"
#include "settings/settings.h"

namespace {

start_outcome failed(std::uint32_t exit_code) {
    return {start_state::failed, failed_start_code(exit_code)};
}

// Says why `what` failed, in the words of `error`, the code the failed call left (taken
// before `what` is composed); the exit code of the start, `fallback` where it is none.
std::uint32_t start_failure(std::uint32_t error, const std::string& what, std::uint32_t fallback) {
    write_host_failure(what, error);
    return platform::service_exit_code_for(error, fallback);
}

// A log that cannot be opened fails the start: everything the program would write there
// would be lost unseen. The reason goes where the service manager looks, since the stderr
// log is the one thing that may be missing. An empty path names no log: that stream's
// output is discarded.
bool open_log(const std::string& path, platform::file_handle shared, platform::file_handle& log,
              std::uint32_t& exit_code) {
    if (path.empty()) {
        log = platform::invalid_file_handle;
        return true;
    }
    log = platform::names_open_file(path, shared) ? shared : platform::open_log_file(path);
    if (log != platform::invalid_file_handle) {
        return true;
    }
    const std::uint32_t error = platform::last_error();
    exit_code = start_failure(error, "open log file \"" + path + "\"", exit_log_not_opened);
    return false;
}

// Installs `log` as `stream`; false, with `exit_code`, when that fails.
bool install(platform::standard_stream stream, platform::file_handle log, const std::string& path,
             const rotation_rules& rules, std::uint32_t& exit_code) {
    if (install_log(stream, log, path, rules)) {
        return true;
    }
    const std::uint32_t error = platform::last_error();
    exit_code =
        start_failure(error, "capture the output for log file \"" + path + "\"", exit_start_failed);
    return false;
}

// Points `stream` at the log at `path`; one whose path is "-" stays as it is, and is
// neither rotated nor reopened.
bool redirect(platform::standard_stream stream, const std::string& path,
              platform::file_handle shared, const rotation_rules& rules, platform::file_handle& log,
              std::uint32_t& exit_code) {
    if (leaves_stream_alone(path)) {
        return true;
    }
    return open_log(path, shared, log, exit_code) && install(stream, log, path, rules, exit_code);
}

// Standard output is installed completely before standard error is opened, and both
// before the Java VM exists, so that every line it or the host writes reaches a log. One
// file named twice is opened once: on Windows two handles would each write at a position
// of their own, over each other's lines.
bool redirect_standard_handles(std::uint32_t& exit_code) {
    const rotation_rules rules = rotation_rules_of(settings);
    platform::file_handle output = platform::invalid_file_handle;
    platform::file_handle error = platform::invalid_file_handle;
    if (!redirect(platform::standard_stream::output, stdout_log(settings),
                  platform::invalid_file_handle, rules, output, exit_code) ||
        !redirect(platform::standard_stream::error, stderr_log(settings), output, rules, error,
                  exit_code)) {
        return false;
    }
    if (!start_log_rotation(rules)) {
        const std::uint32_t failure = platform::last_error();
        exit_code = start_failure(failure, "start the rotation of the logs", exit_start_failed);
        return false;
    }
    return true;
}

// The Java VM is up; what the start method's outcome makes of the start. A class or
// method that is not there is a mistake of the settings; an exception, from the start
// method or from loading the class, is the program's own failure, which may pass (a
// database down at boot).
start_outcome after_start(start_result started) {
    switch (started) {
    case start_result::start_called:
        return {start_state::running, 0};
    case start_result::no_class:
    case start_result::no_method:
        return {start_state::failed_with_java_vm, exit_bad_configuration};
    case start_result::start_threw:
    case start_result::class_threw:
        return {start_state::failed_with_java_vm, exit_start_threw};
    case start_result::not_attached:
    case start_result::no_parameters:
        break;
    }
    return {start_state::failed_with_java_vm, exit_start_failed};
}

} // namespace

start_outcome start_service_work() {
    if (saved_argc < 2 || saved_argv == nullptr || saved_argv[1] == nullptr) {
        report_missing_settings_path();
        return failed(exit_no_settings_path);
    }
    // Start pending's next report comes once the settings say how long the start may take.
    std::uint32_t code = load_service_settings(saved_argv[1]);
    if (code == 0) {
        code = watch_start(3);
    }
    if (code != 0) {
        return failed(code);
    }
    std::uint32_t log_error = 0;
    if (!redirect_standard_handles(log_error)) {
        return failed(log_error);
    }
    // A stop request while the Java VM is created must wait for it, not end the process.
    platform::hold_control_requests();
    vm_failure not_created;
    const int created = create_java_vm(settings, &not_created);
    platform::release_control_requests();
    if (created == create_bad_option) {
        // A mistake of the settings, as one the reader finds: the line is in the stderr log,
        // and also in the event log, where an operator looks first.
        platform::report_error_event("error: " + not_created.reason + "\r\n");
        return failed(exit_bad_configuration);
    }
    if (created != create_ok) {
        return failed(platform::service_exit_code_for(not_created.code, exit_start_failed));
    }
    java_side_started();
    const start_result started = start_server();
    if (started == start_result::start_called || started == start_result::start_threw) {
        start_method_called();
    }
    const start_outcome outcome = after_start(started);
    // The program's word, when it asked for a stop while the start ran, is the start's end.
    if (const std::optional<end_codes> asked =
            stop_asked_in_start(outcome.state == start_state::running)) {
        return {start_state::failed_with_java_vm, asked->exit_code, asked->specific};
    }
    return outcome;
}
