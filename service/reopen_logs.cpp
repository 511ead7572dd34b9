#include "service/reopen_logs.h"

#include <sstream>
#include <string>

#include "javahost/diagnostic.h"
#include "platform/last_error.h"
#include "platform/standard_handles.h"
#include "service/log_rotation.h"
#include "service/log_streams.h"
#include "settings/settings.h"

namespace {

struct reopened {
    platform::file_handle file; // the file now in place, or invalid_file_handle
    std::uint32_t error;        // why the log could not be opened (the old one stays); 0
};

// Puts the log at `path` in place of `stream`; `shared` is the file just opened for the
// other stream, which serves this one too when `path` names it.
reopened reopen(platform::standard_stream stream, const std::string& path,
                platform::file_handle shared) {
    if (path.empty()) {
        return {platform::invalid_file_handle, 0}; // never opened: nothing to reopen
    }
    const platform::file_handle file =
        platform::names_open_file(path, shared) ? shared : platform::open_log_file(path);
    if (file == platform::invalid_file_handle) {
        return {file, platform::last_error()};
    }
    platform::move_to_end(file);
    platform::set_standard_handle(stream, file);
    return {file, 0};
}

void report_not_reopened(const std::string& path, std::uint32_t error) {
    std::ostringstream line;
    line << reopen_failure_line(path, error);
    write_diagnostic(line);
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
    if (output.error != 0) {
        report_not_reopened(output_path, output.error);
    }
    // One log named for both streams is one failure, said once.
    if (error.error != 0 && !(output.error != 0 && error_path == output_path)) {
        report_not_reopened(error_path, error.error);
    }
    return output.error == 0 && error.error == 0;
}
