// The control signals and their pipe.
//
// The handler is installed before the service's main function starts and stays in place
// for the life of the process: the Java VM is kept from replacing it while it is created
// (see signal_hold.cpp), so a request is never lost, whichever thread takes it.
#include "platform/unix/control_requests.h"

#include <cerrno>
#include <csignal>

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
