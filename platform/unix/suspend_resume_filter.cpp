#include "platform/unix/suspend_resume_filter.h"

#include <atomic>
#include <cstdlib>

#include <unistd.h>

namespace platform {

namespace {

// What the Java VM asked for; read by the filter, which runs only once it is set.
struct sigaction vm_action {};
std::atomic<bool> vm_action_set{false};

bool is_handler(const struct sigaction& action) {
    // sa_handler and sa_sigaction share their storage: the two special values read the
    // same in both.
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

// Only pthread_kill from this very process, which the VM uses, reaches the VM's handler:
// a signal from kill(), sigqueue() or another process is dropped.
extern "C" void filter_suspend_resume(int signal, siginfo_t* info, void* context) {
    if (info == nullptr || info->si_code != SI_TKILL || info->si_pid != getpid() ||
        !vm_action_set.load()) {
        return;
    }
    if ((vm_action.sa_flags & SA_SIGINFO) != 0) {
        vm_action.sa_sigaction(signal, info, context);
    } else {
        vm_action.sa_handler(signal);
    }
}

bool is_filter(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == filter_suspend_resume;
}

int signal_in_environment() {
    const char* chosen = std::getenv("_JAVA_SR_SIGNUM");
    const int value = chosen != nullptr ? std::atoi(chosen) : 0;
    // The VM's own rule: above SIGSEGV and SIGBUS, below NSIG.
    return value > SIGSEGV && value > SIGBUS && value < NSIG ? value : SIGUSR2;
}

// As the environment was when it was last read; 0 before that.
std::atomic<int> chosen_signal{0};

} // namespace

int suspend_resume_signal() {
    const int number = chosen_signal.load();
    return number != 0 ? number : read_suspend_resume_signal();
}

int read_suspend_resume_signal() {
    const int number = signal_in_environment();
    chosen_signal.store(number);
    return number;
}

bool sigaction_through_filter(int signal, const struct sigaction* action,
                              struct sigaction* previous, sigaction_function next, int& result) {
    if (signal != suspend_resume_signal()) {
        return false;
    }
    struct sigaction filtered {};
    const bool filtering = action != nullptr && is_handler(*action);
    if (filtering) {
        filtered = *action;
        filtered.sa_sigaction = filter_suspend_resume;
        filtered.sa_flags |= SA_SIGINFO;
    }
    const bool was_set = vm_action_set.load();
    const struct sigaction kept = vm_action;
    if (filtering) {
        // Set before the filter is installed, so that the filter never runs without it.
        vm_action = *action;
        vm_action_set.store(true);
    }
    result = next(signal, filtering ? &filtered : action, previous);
    if (result == 0 && previous != nullptr && was_set && is_filter(*previous)) {
        *previous = kept;
    }
    if (result != 0 && filtering) {
        vm_action = kept;
        vm_action_set.store(was_set);
    }
    return true;
}

} // namespace platform
