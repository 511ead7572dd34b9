#include "service/service_main.h"

#include "platform/event.h"
#include "platform/last_error.h"
#include "platform/service_control.h"
#include "service/control_handler.h"
#include "service/exit_codes.h"
#include "service/log_streams.h"
#include "service/program_requests.h"
#include "service/report_status.h"
#include "service/save_arguments.h"
#include "service/service_end.h"
#include "service/service_globals.h"
#include "service/start_service_work.h"
#include "service/stop_path.h"
#include "service/time_limits.h"

namespace {

// The failure step: the service stops with the code that the failed step left, never with
// 0, which means a normal stop.
void end_failed_start() {
    cleanup_service(failed_start_code(platform::last_error()));
}

// Registers the handler and reports the first two steps of the start; false, with the
// last-error code of the step that failed, when one does.
bool begin_start() {
    status_handle = platform::register_control_handler(service_name, control_handler);
    return status_handle != nullptr && report_status(platform::service_start_pending, 0, 1, 5000) &&
           create_stop_event() && report_status(platform::service_start_pending, 0, 2, 1000);
}

// The start is over, whichever way it went: its time limit no longer runs. When the limit
// ran out first, its watch is ending the service.
void end_start_watch() {
    if (!end_watch()) {
        wait_for_process_end();
    }
}

// The codes of a service that stopped once it ran. A stop that came of a report the service
// manager could not take is no normal stop; else the Java program's word, when it asked.
end_codes ordinary_end() {
    const std::uint32_t failed_report = failed_report_error();
    if (failed_report != 0) {
        return {failed_report, 0};
    }
    return program_stop_codes().value_or(end_codes{0, 0});
}

} // namespace

void service_main(std::uint32_t /*argc*/, char** /*argv*/) {
    note_start_requested();
    if (!begin_start()) {
        end_failed_start();
        return;
    }
    const start_outcome started = start_service_work();
    end_start_watch();
    if (started.state == start_state::failed) {
        cleanup_service(started.exit_code);
        return;
    }
    if (started.state == start_state::failed_with_java_vm) {
        stop_on_service_thread(); // what follows is a stop, with the stop's own time limit
        cleanup_service(started.exit_code, started.specific);
        return;
    }
    if (!report_status(platform::service_running, 0, 0, 0)) {
        end_failed_start();
        return;
    }
    begin_stop_asked_before_running();
    platform::wait_for_event(stop_event);
    const end_codes end = ordinary_end();
    cleanup_service(end.exit_code, end.specific);
}

void cleanup_service(std::uint32_t exit_code, std::uint32_t specific) {
    if (!end_watch()) {
        wait_for_process_end(); // the deadline passed: the watch ends the service
    }
    join_stop_path();
    close_stop_event();
    // Before stopped is reported, after which the process may end at any moment.
    end_logs();
    // Freed before stopped is reported: the Windows dispatcher may return at that report,
    // and the process may end while this thread is still here.
    free_saved_arguments();
    if (!claim_ordinary_end(exit_code, specific)) {
        wait_for_process_end(); // stopped has been reported another way
    }
    if (status_handle != nullptr) {
        report_stopped(exit_code, specific);
    }
}
