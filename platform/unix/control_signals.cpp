// The stop signals' handlers on POSIX systems, noted before the Java VM is created and
// put back after it.
#include "platform/control_signals.h"

#include <csignal>

#include <pthread.h>
#include <signal.h>

#include "platform/unix/control_requests.h"
#include "platform/unix/suspend_resume_filter.h"

namespace platform {

namespace {

// The service's control signals, SIGUSR1 (reopen the logs) among them.
constexpr int stop_signal_count = sizeof control_signal_numbers / sizeof control_signal_numbers[0];

} // namespace

void keep_vm_signals_away() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGQUIT);
    sigaddset(&signals, read_suspend_resume_signal());
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

struct control_signal_guard::saved_handling {
    struct sigaction actions[stop_signal_count];
    bool noted[stop_signal_count];
};

control_signal_guard::control_signal_guard() : saved_(new saved_handling{}) {
    for (int i = 0; i < stop_signal_count; ++i) {
        saved_->noted[i] = sigaction(control_signal_numbers[i], nullptr, &saved_->actions[i]) == 0;
    }
}

control_signal_guard::~control_signal_guard() {
    restore();
}

void control_signal_guard::restore() {
    if (!saved_) {
        return;
    }
    for (int i = 0; i < stop_signal_count; ++i) {
        // sa_handler and sa_sigaction share their storage: SIG_DFL reads the same in both.
        if (saved_->noted[i] && saved_->actions[i].sa_handler != SIG_DFL) {
            sigaction(control_signal_numbers[i], &saved_->actions[i], nullptr);
        }
    }
    saved_.reset();
}

} // namespace platform
