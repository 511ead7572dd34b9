#include "service/service_end.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "javahost/diagnostic.h"
#include "javahost/vm_end.h"
#include "platform/process_exit.h"
#include "platform/standard_error.h"
#include "service/exit_codes.h"
#include "service/log_lines.h"
#include "service/log_streams.h"
#include "service/report_status.h"

namespace {

std::atomic<bool> end_claimed{false};
std::uint32_t final_exit_code = 0;
std::uint32_t final_specific = 0;

bool claim_end(std::uint32_t exit_code, std::uint32_t specific) {
    note_end_begun();
    if (end_claimed.exchange(true)) {
        return false;
    }
    final_exit_code = exit_code;
    final_specific = specific;
    return true;
}

// The Java VM exited while it was created: the start failed as a refused creation fails.
// No system call failed, so whatever the last-error code holds now is the VM's and means
// nothing here.
void on_creation_failed() {
    end_service_now(exit_start_failed, 0, report_vm_not_created_quietly);
}

// Any status but 0 is a failure that carries it. System.exit(0) is a clean end of a service
// that has run; before running was reported (in the start method, or in the stop method
// after a start that failed) the service never ran, and that is a failed start.
void on_java_exit(std::int32_t status) {
    if (status != 0) {
        end_service_now(exit_java_status, static_cast<std::uint32_t>(status),
                        [status] { report_vm_exited(status); });
    }
    if (!running_reported()) {
        end_service_now(exit_ended_before_running, 0, report_vm_exited_before_running);
    }
    end_service_now(0, 0, [] { report_vm_exited(0); });
}

// A crash ends the process without a stopped report, so that the service manager sees a
// crash; it is said only when no other end has been.
void on_java_abort() {
    if (claim_end(0, 0)) {
        report_vm_aborted();
    }
    drain_logs();
}

} // namespace

void install_vm_end_handlers() {
    vm_end_handlers handlers;
    handlers.creation_failed = on_creation_failed;
    handlers.exited = on_java_exit;
    handlers.aborted = on_java_abort;
    set_vm_end_handlers(handlers);
}

bool claim_ordinary_end(std::uint32_t exit_code, std::uint32_t specific) {
    return claim_end(exit_code, specific);
}

void end_service_now(std::uint32_t exit_code, std::uint32_t specific,
                     const std::function<void()>& say) {
    if (!claim_end(exit_code, specific)) {
        wait_for_process_end();
    }
    say();
    drain_logs(); // the process ends without its threads: what they held must be written
    report_stopped_at_once(exit_code, specific);
    platform::exit_process(process_status_for(exit_code, specific));
}

void end_on_insistence() {
    end_service_now(exit_console_interrupted, 0, [] {
        const char line[] = "orvo: a second stop request: ending at once\r\n";
        platform::write_initial_standard_error(line, sizeof line - 1);
    });
}

void wait_for_process_end() {
    std::mutex lock;
    std::condition_variable never;
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
        never.wait(hold);
    }
}

std::uint32_t process_status_at_end() {
    return process_status_for(final_exit_code, final_specific);
}
