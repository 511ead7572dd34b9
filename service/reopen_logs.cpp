#include "service/reopen_logs.h"

#include <string>

#include "platform/last_error.h"
#include "platform/standard_handles.h"
#include "service/log_lines.h"
#include "service/log_streams.h"
#include "settings/settings.h"

namespace {

struct reopened {
    platform::file_handle file; // the file now in place, or invalid_file_handle
    bool failed;                // the log could not be opened: the old one stays
    std::string reason;         // why not, in the system's words
};

// Puts the log at `path` in place of `stream`; `shared` is the file just opened for the
// other stream, which serves this one too when `path` names it.
reopened reopen(platform::standard_stream stream, const std::string& path,
                platform::file_handle shared) {
    if (path.empty() || leaves_stream_alone(path)) {
        return {platform::invalid_file_handle, false, {}}; // never opened: nothing to reopen
    }
    const platform::file_handle file =
        platform::names_open_file(path, shared) ? shared : platform::open_log_file(path);
    if (file == platform::invalid_file_handle) {
        return {file, true, platform::last_error_text()};
    }
    platform::move_to_end(file);
    platform::set_standard_handle(stream, file);
    return {file, false, {}};
}

} // namespace

bool reopen_logs() {
    if (logs_captured()) {
        return reopen_captured_logs();
    }
    const logs_held held;
    const std::string& output_path = stdout_log(settings);
    const std::string& error_path = stderr_log(settings);
    const reopened output =
        reopen(platform::standard_stream::output, output_path, platform::invalid_file_handle);
    const reopened error = reopen(platform::standard_stream::error, error_path, output.file);
    // Written once both are in place, so that the lines reach the stderr log in use.
    if (output.failed) {
        report_not_reopened(output_path, output.reason);
    }
    // One log named for both streams is one failure, said once.
    if (error.failed && !(output.failed && error_path == output_path)) {
        report_not_reopened(error_path, error.reason);
    }
    return !output.failed && !error.failed;
}
