#include "service/start_service_work.h"

#include <string>

#include "javahost/java_vm.h"
#include "javahost/server.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "platform/standard_handles.h"
#include "service/exit_codes.h"
#include "service/load_service_settings.h"
#include "service/service_globals.h"
#include "service/stop_path.h"
#include "service/time_limits.h"
#include "settings/settings.h"

namespace {

// Standard output is installed completely before standard error is opened, and both
// before the Java VM exists, so that every line it or the host writes reaches a log.
void redirect_standard_handles() {
    const platform::file_handle output = platform::open_log_file(stdout_log(settings));
    platform::move_to_end(output);
    platform::set_standard_handle(platform::standard_stream::output, output);

    // One file named twice: a second handle would be refused by the first one's sharing
    // mode, and every error line lost, so the one handle serves both.
    const std::string& error_path = stderr_log(settings);
    const platform::file_handle error = platform::names_open_file(error_path, output)
                                            ? output
                                            : platform::open_log_file(error_path);
    platform::move_to_end(error);
    platform::set_standard_handle(platform::standard_stream::error, error);
}

} // namespace

int start_service_work() {
    if (saved_argc < 2 || saved_argv == nullptr || saved_argv[1] == nullptr) {
        report_missing_settings_path();
        platform::set_last_error(exit_no_settings_path);
        return 0;
    }
    // Start pending's next report comes once the settings say how long the start may take.
    if (!load_service_settings(saved_argv[1]) || !watch_start(3)) {
        return 0;
    }
    redirect_standard_handles();
    // A stop request while the Java VM is created must wait for it, not end the process.
    platform::hold_control_requests();
    const int created = create_java_vm(settings);
    platform::release_control_requests();
    if (created != create_ok) {
        return 0;
    }
    java_side_started();
    start_server();
    return 1;
}
