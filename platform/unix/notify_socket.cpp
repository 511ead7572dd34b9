// The notify socket: an AF_UNIX datagram address given by the service manager.
#include "platform/unix/notify_socket.h"

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace platform {

namespace {

using send_clock = std::chrono::steady_clock;

// A datagram blocks while the receiver's queue is full. A service manager that has stopped
// reading would hold the reporting thread, and the dispatcher behind it, for ever: after
// this long the report counts as failed.
constexpr std::chrono::seconds send_time_limit{5};

// Lets the next send block for at most `left`, which must be more than nothing (a zero
// limit would let it block for ever).
void limit_send(int descriptor, send_clock::duration left) {
    const auto micro = std::chrono::ceil<std::chrono::microseconds>(left).count();
    const timeval limit{static_cast<time_t>(micro / 1000000),
                        static_cast<suseconds_t>(micro % 1000000)};
    setsockopt(descriptor, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

} // namespace

bool open_notify_socket(const std::string& name, notify_socket& socket) {
    socket.address = sockaddr_un{};
    socket.address.sun_family = AF_UNIX;
    // An abstract name has no terminating NUL; a path keeps one.
    const bool abstract = name[0] == '@';
    const std::size_t bytes = abstract ? name.size() : name.size() + 1;
    if (name.empty() || bytes > sizeof socket.address.sun_path) {
        errno = EINVAL;
        return false;
    }
    std::memcpy(socket.address.sun_path, name.c_str(), bytes);
    if (abstract) {
        socket.address.sun_path[0] = '\0';
    }
    socket.address_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + bytes);
    socket.descriptor = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return socket.descriptor >= 0;
}

std::string notify_address_problem(const notify_socket& socket, const std::string& name) {
    struct stat status {};
    if (name[0] != '@') {
        if (stat(name.c_str(), &status) != 0) {
            return std::strerror(errno);
        }
        if (!S_ISSOCK(status.st_mode)) {
            return "not a socket";
        }
    }
    // Connecting a datagram socket only checks that a datagram socket is bound there.
    const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return std::strerror(errno);
    }
    const int connected =
        connect(probe, reinterpret_cast<const sockaddr*>(&socket.address), socket.address_length);
    const int error = errno;
    close(probe);
    if (connected == 0) {
        return std::string();
    }
    if (error == EPROTOTYPE) {
        return "not a datagram socket";
    }
    return error == ECONNREFUSED ? "nothing receives on it" : std::strerror(error);
}

// A signal interrupts a send that waits for room, and the send's own time limit would
// begin again with the retry: signals arriving faster than the limit would hold the
// report for ever. One deadline holds for the whole report.
bool send_notify_message(notify_socket& socket, const std::string& message) {
    const int flags = MSG_NOSIGNAL | (socket.stalled ? MSG_DONTWAIT : 0);
    const send_clock::time_point deadline = send_clock::now() + send_time_limit;
    for (;;) {
        const send_clock::duration left = deadline - send_clock::now();
        if (left <= send_clock::duration::zero()) {
            socket.stalled = true;
            errno = EAGAIN;
            return false;
        }
        limit_send(socket.descriptor, left);
        const ssize_t sent =
            sendto(socket.descriptor, message.data(), message.size(), flags,
                   reinterpret_cast<const sockaddr*>(&socket.address), socket.address_length);
        socket.stalled = sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (static_cast<std::size_t>(sent) == message.size()) {
            return true;
        }
        if (sent >= 0) {
            errno = EMSGSIZE;
            return false;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace platform
