#include "platform/unix/suspend_resume_filter.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include <unistd.h>

namespace platform {

namespace {

// What the Java VM asked for, read by the filter in a signal handler on any thread. A new
// request is a new copy put in place in one atomic step; the old one is never freed, since
// a handler may still be reading it (the VM installs its handler a few times at the most).
std::atomic<const struct sigaction*> vm_action{nullptr};
// Orders the changes, which come from sigaction() calls on any thread.
std::mutex changing;

bool is_handler(const struct sigaction& action) {
    // sa_handler and sa_sigaction share their storage: the two special values read the
    // same in both.
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN;
}

// Only pthread_kill from this very process, which the VM uses, reaches the VM's handler:
// a signal from kill(), sigqueue() or another process is dropped.
extern "C" void filter_suspend_resume(int signal, siginfo_t* info, void* context) {
    const struct sigaction* action = vm_action.load();
    if (info == nullptr || info->si_code != SI_TKILL || info->si_pid != getpid() ||
        action == nullptr) {
        return;
    }
    if ((action->sa_flags & SA_SIGINFO) != 0) {
        action->sa_sigaction(signal, info, context);
    } else {
        action->sa_handler(signal);
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
    const std::lock_guard<std::mutex> hold(changing);
    const struct sigaction* kept = vm_action.load();
    if (filtering) {
        // In place before the filter is installed, so that the filter never runs without it.
        vm_action.store(new struct sigaction(*action));
    }
    result = next(signal, filtering ? &filtered : action, previous);
    if (result == 0 && previous != nullptr && kept != nullptr && is_filter(*previous)) {
        *previous = *kept;
    }
    if (result != 0 && filtering) {
        vm_action.store(kept);
    }
    return true;
}

} // namespace platform
