// Keeping the Java VM's hands off the control signals while it is created.
//
// While it is created, the Java VM installs handlers of its own for SIGTERM, SIGINT and
// SIGHUP, which run Java's shutdown and end the process, unless it finds a signal ignored;
// it asks with sigaction() first. Setting the signals to be ignored for that time is not
// enough: it discards a signal that is pending, and the VM's new threads, which unblock
// the three, throw away one that reaches them. So the handlers stay in place, and while
// the VM is created this sigaction(), which the program exports so that the VM's library
// binds to it, tells the VM that the three are ignored and keeps it from changing them. A
// request that arrives meanwhile goes through the ordinary handler, on whichever thread
// takes it, and waits in the dispatcher like any other request made while start is pending.
//
// The same sigaction() puts a filter in front of the VM's suspend-resume handler, for the
// life of the process: see suspend_resume_filter.h. Only orvo itself exports it
// (exported_sigaction.cpp): in orvo-check, which creates a VM for a dry run, the VM keeps
// the C library's.
#include <atomic>
#include <csignal>
#include <cstring>

#include <dlfcn.h>
#include <signal.h>

#include "platform/service_control.h"
#include "platform/unix/control_requests.h"
#include "platform/unix/signal_hold.h"
#include "platform/unix/suspend_resume_filter.h"

namespace {

using platform::sigaction_function;

std::atomic<bool> holding{false};

// SIGUSR1 among them: a Java VM that wanted it would take the requests to reopen the logs.
bool is_control_signal(int signal) {
    for (const int control : platform::control_signal_numbers) {
        if (signal == control) {
            return true;
        }
    }
    return false;
}

// The C library's sigaction (or a sanitizer's in front of it): the next definition after
// the program's own.
sigaction_function next_sigaction() {
    static const auto next = reinterpret_cast<sigaction_function>(dlsym(RTLD_NEXT, "sigaction"));
    return next;
}

} // namespace

namespace platform {

int program_sigaction(int signal, const struct sigaction* action, struct sigaction* previous) {
    if (holding.load() && is_control_signal(signal)) {
        if (previous != nullptr) {
            std::memset(previous, 0, sizeof *previous);
            previous->sa_handler = SIG_IGN;
        }
        return 0;
    }
    int result = 0;
    if (platform::sigaction_through_filter(signal, action, previous, next_sigaction(), result)) {
        return result;
    }
    return next_sigaction()(signal, action, previous);
}

void hold_control_requests() {
    next_sigaction(); // resolved before any thread of the VM may need it
    holding.store(true);
}

void release_control_requests() {
    holding.store(false);
}

} // namespace platform
