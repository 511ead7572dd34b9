// When the Java VM ends the process by itself.
//
// The Java program may end the process with System.exit or Runtime.halt, at any moment;
// the Java VM itself exits while it is created when an option cannot be used (a heap too
// small or too large, two collectors, a missing agent), and aborts when it crashes. Each
// bypasses the service's stop path. create_java_vm hands the VM the invocation API's
// "exit" and "abort" hooks, after the configured options, so that the host hears of it
// first; what the host does then is set here.
#pragma once

#include <cstdint>

// Each handler writes its line itself (with the functions of diagnostic.h), so that it can
// first make sure that no other end of the process has been told: one end, one line.
struct vm_end_handlers {
    // The VM exits or aborts before JNI_CreateJavaVM returned: the line is "couldn't
    // create JavaVM." (report_vm_not_created_quietly). Must end the process.
    void (*creation_failed)() = nullptr;
    // The Java program ended the VM with `status` once it was created: the line names the
    // status (report_vm_exited; the service says more of a 0 before it ran). Runs on the
    // VM's own thread, after the Java shutdown hooks, while the thread that called exit
    // waits: it must end the process and must not wait for anything that thread may hold.
    void (*exited)(std::int32_t status) = nullptr;
    // The VM aborts (crashes) once created: the line is "the Java VM aborted."
    // (report_vm_aborted). May run in a signal handler: only async-signal-safe calls.
    // Returns, and the VM goes on to abort the process.
    void (*aborted)() = nullptr;
};

// Sets what the hooks do. Without handlers, the hooks write their line and end the
// process with the VM's status (1 for a failed creation), or let it abort.
void set_vm_end_handlers(const vm_end_handlers& handlers);
