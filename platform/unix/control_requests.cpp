// The control signals and their pipe.
//
// The handler is installed before the service's main function starts and stays in place
// for the life of the process: the Java VM is kept from replacing it while it is created
// (see signal_hold.cpp), so a request is never lost, whichever thread takes it.
#include "platform/unix/control_requests.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

int request_pipe[2] = {-1, -1};

sigset_t control_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : control_signal_numbers) {
        sigaddset(&signals, signal);
    }
    return signals;
}

extern "C" void on_control_signal(int signal) {
    write_control_byte(static_cast<unsigned char>(signal));
}

bool install_handlers() {
    struct sigaction action {};
    action.sa_handler = on_control_signal;
    action.sa_flags = SA_RESTART;
    // A handler is not interrupted by another one on its thread: the numbers reach the
    // pipe in the order in which the handlers began.
    action.sa_mask = control_signals();
    for (const int signal : control_signal_numbers) {
        if (sigaction(signal, &action, nullptr) != 0) {
            return false;
        }
    }
    return true;
}

// The signal with which the Java VM suspends and resumes its threads: SIGUSR2 unless the
// environment chose another, as the VM itself reads it.
int suspend_resume_signal() {
    const char* chosen = std::getenv("_JAVA_SR_SIGNUM");
    const int number = chosen != nullptr ? std::atoi(chosen) : 0;
    return number > SIGSEGV && number > SIGBUS && number < NSIG ? number : SIGUSR2;
}

// The Java VM's handlers for its suspend-resume signal and for SIGQUIT (thread dumps)
// expect to run on a thread of the VM; sent to the process, either could otherwise land on
// one of ours (the main thread is the kernel's first choice) and crash the VM. Blocked
// here, they go to the VM's own threads, which unblock them. Threads of ours started
// later inherit the mask; the VM gives an attached thread its own mask while it is
// attached and puts this one back when it detaches.
void keep_vm_signals_away() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGQUIT);
    sigaddset(&signals, suspend_resume_signal());
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

} // namespace

bool open_control_requests() {
    if (pipe2(request_pipe, O_CLOEXEC) != 0) {
        return false;
    }
    // A signal handler must never block on a full pipe. Whatever the process inherited,
    // the requests are taken from here on.
    if (fcntl(request_pipe[1], F_SETFL, O_NONBLOCK) != 0 || !install_handlers()) {
        return false;
    }
    const sigset_t signals = control_signals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    keep_vm_signals_away();
    return true;
}

void write_control_byte(unsigned char byte) {
    const int saved_errno = errno;
    const ssize_t ignored = write(request_pipe[1], &byte, 1);
    static_cast<void>(ignored);
    errno = saved_errno;
}

std::string read_control_bytes() {
    char bytes[64];
    for (;;) {
        const ssize_t count = read(request_pipe[0], bytes, sizeof bytes);
        if (count > 0) {
            return std::string(bytes, static_cast<std::size_t>(count));
        }
        if (count == 0 || errno != EINTR) {
            return std::string();
        }
    }
}

} // namespace platform
