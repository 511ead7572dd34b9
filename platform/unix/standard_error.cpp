// Standard error on POSIX systems: descriptor 2, whatever it points at now.
#include "platform/standard_error.h"

#include <cerrno>
#include <csignal>
#include <ctime>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace platform {

namespace {

bool is_pending(int signal) {
    sigset_t pending;
    return sigpending(&pending) == 0 && sigismember(&pending, signal) == 1;
}

} // namespace

// A log that is a pipe whose reader has gone would end the process with SIGPIPE before it
// could report why it stops. While the write runs, SIGPIPE is blocked on this thread, and
// one that the write raised is taken back. Every call here is async-signal-safe.
void write_standard_error(const char* data, std::size_t size) {
    const int saved_errno = errno;
    sigset_t pipe_signal;
    sigset_t previous;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    const bool was_pending = is_pending(SIGPIPE);
    const ssize_t written = write(STDERR_FILENO, data, size);
    if (written < 0 && errno == EPIPE && !was_pending) {
        const timespec no_wait{0, 0};
        sigtimedwait(&pipe_signal, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved_errno;
}

} // namespace platform
