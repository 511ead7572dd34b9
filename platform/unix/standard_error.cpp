// Standard error on POSIX systems: descriptor 2, whatever it points at now.
#include "platform/standard_error.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int not_kept = -2; // keep_initial_standard_error has not run
constexpr int none = -1;     // it ran, and descriptor 2 was closed

// A copy of descriptor 2 as the process found it; its own number, so that the service's
// later dup2 of a log onto descriptor 2 leaves it alone.
int initial_standard_error = not_kept;

bool is_pending(int signal) {
    sigset_t pending;
    return sigpending(&pending) == 0 && sigismember(&pending, signal) == 1;
}

// "/proc/self/fd/N", which opens the file that `descriptor` has open, whatever its name now.
void descriptor_path(int descriptor, char (&path)[32]) {
    static const char prefix[] = "/proc/self/fd/";
    std::memcpy(path, prefix, sizeof prefix - 1);
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + descriptor % 10);
        descriptor /= 10;
    } while (descriptor > 0);
    std::size_t at = sizeof prefix - 1;
    while (count > 0) {
        path[at++] = digits[--count];
    }
    path[at] = '\0';
}

// The line, after a line end when the file ends mid-line: in one write where it fits the
// buffer, so that no other writer comes in between.
ssize_t write_line(int descriptor, const char* data, std::size_t size) {
    static const char line_end[] = "\r\n";
    if (!ends_mid_line(descriptor)) {
        return write(descriptor, data, size);
    }
    char joined[512];
    if (size <= sizeof joined - 2) {
        std::memcpy(joined, line_end, 2);
        std::memcpy(joined + 2, data, size);
        return write(descriptor, joined, size + 2);
    }
    const ssize_t ended = write(descriptor, line_end, 2);
    return ended < 0 ? ended : write(descriptor, data, size);
}

// A log that is a pipe whose reader has gone would end the process with SIGPIPE before it
// could report why it stops. While the write runs, SIGPIPE is blocked on this thread, and
// one that the write raised is taken back. Every call here is async-signal-safe.
void write_to(int descriptor, const char* data, std::size_t size) {
    const int saved_errno = errno;
    sigset_t pipe_signal;
    sigset_t previous;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
    const bool was_pending = is_pending(SIGPIPE);
    const ssize_t written = write_line(descriptor, data, size);
    if (written < 0 && errno == EPIPE && !was_pending) {
        const timespec no_wait{0, 0};
        sigtimedwait(&pipe_signal, nullptr, &no_wait);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = saved_errno;
}

} // namespace

// The log is open for writing only: its last byte is read through a descriptor of its
// own, and where that cannot be had (no /proc, no read permission) it counts as ended.
bool ends_mid_line(file_handle file) {
    const int descriptor = static_cast<int>(file);
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size == 0) {
        return false;
    }
    char path[32];
    descriptor_path(descriptor, path);
    const int reader = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (reader < 0) {
        return false;
    }
    char last = '\n';
    const bool found =
        lseek(reader, status.st_size - 1, SEEK_SET) >= 0 && read(reader, &last, 1) == 1;
    close(reader);
    return found && last != '\n';
}

void write_standard_error(const char* data, std::size_t size) {
    write_to(STDERR_FILENO, data, size);
}

void keep_initial_standard_error() {
    const int saved_errno = errno;
    const int copy = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    initial_standard_error = copy >= 0 ? copy : none;
    errno = saved_errno;
}

void write_initial_standard_error(const char* data, std::size_t size) {
    if (initial_standard_error == not_kept) {
        write_standard_error(data, size);
    } else if (initial_standard_error != none) {
        write_to(initial_standard_error, data, size);
    }
}

bool standard_output_is_standard_error() {
    struct stat output {};
    struct stat error {};
    return fstat(STDOUT_FILENO, &output) == 0 && fstat(STDERR_FILENO, &error) == 0 &&
           output.st_dev == error.st_dev && output.st_ino == error.st_ino;
}

} // namespace platform
