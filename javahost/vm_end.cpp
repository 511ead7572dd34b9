#include "javahost/vm_end.h"

#include <atomic>

#include "javahost/diagnostic.h"
#include "javahost/vm_end_hooks.h"
#include "platform/process_exit.h"

namespace {

vm_end_handlers handlers;
std::atomic<bool> created{false};

void end_creation() {
    if (handlers.creation_failed != nullptr) {
        handlers.creation_failed();
    }
    report_vm_not_created_quietly();
    platform::exit_process(1);
}

} // namespace

void set_vm_end_handlers(const vm_end_handlers& chosen) {
    handlers = chosen;
}

void JNICALL vm_exit_hook(jint status) {
    if (!created.load()) {
        end_creation();
    }
    if (handlers.exited != nullptr) {
        handlers.exited(status);
    }
    report_vm_exited(status);
    platform::exit_process(static_cast<std::uint32_t>(status));
}

// May run in the VM's signal handler: only async-signal-safe calls after the creation.
// Returning lets the VM go on to abort the process, which the service manager then sees
// as a crash; no stopped report is sent, so that its recovery applies.
void JNICALL vm_abort_hook() {
    if (!created.load()) {
        end_creation();
    }
    if (handlers.aborted != nullptr) {
        handlers.aborted();
        return;
    }
    report_vm_aborted();
}

void note_vm_created() {
    created.store(true);
}
