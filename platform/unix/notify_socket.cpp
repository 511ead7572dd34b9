// The notify socket: an AF_UNIX datagram address given by the service manager.
#include "platform/unix/notify_socket.h"

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <unistd.h>

namespace platform {

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

bool send_notify_message(const notify_socket& socket, const std::string& message) {
    for (;;) {
        const ssize_t sent =
            sendto(socket.descriptor, message.data(), message.size(), MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr*>(&socket.address), socket.address_length);
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
