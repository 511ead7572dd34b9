#include "service/service_main.h"

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "service/control_handler.h"
#include "service/exit_codes.h"
#include "service/report_status.h"
#include "service/save_arguments.h"
#include "service/service_end.h"
#include "service/service_globals.h"
#include "service/start_service_work.h"
#include "service/stop_path.h"
#include "service/time_limits.h"

namespace {

// The failure step: the service stops with the error that the failed step left.
void end_failed_start() {
    std::uint32_t code = platform::last_error();
    if (code == 0) {
        code = exit_start_failed;
    }
    cleanup_service(code);
}

// The start is over: a start that ran out of time is being ended by its watch.
bool start_in_time() {
    if (!end_watch()) {
        wait_for_process_end();
    }
    return true;
}

} // namespace

void service_main(std::uint32_t /*argc*/, char** /*argv*/) {
    note_start_requested();
    status_handle = platform::register_control_handler(service_name, control_handler);
    if (status_handle == nullptr || !report_status(platform::service_start_pending, 0, 1, 5000) ||
        !create_stop_event() || !report_status(platform::service_start_pending, 0, 2, 1000) ||
        start_service_work() == 0 || !start_in_time() ||
        !report_status(platform::service_running, 0, 0, 0)) {
        end_failed_start();
        return;
    }
    platform::wait_for_event(stop_event);
    // A stop that came of a report the service manager could not take is no normal stop.
    cleanup_service(failed_report_error());
}

void cleanup_service(std::uint32_t exit_code) {
    if (!end_watch()) {
        wait_for_process_end(); // the deadline passed: the watch ends the service
    }
    join_stop_path();
    close_stop_event();
    // Freed before stopped is reported: the Windows dispatcher may return at that report,
    // and the process may end while this thread is still here.
    free_saved_arguments();
    if (!claim_ordinary_end(exit_code)) {
        wait_for_process_end(); // stopped has been reported another way
    }
    if (status_handle != nullptr) {
        report_status(platform::service_stopped, exit_code, 0, 0);
    }
}
