// The datagram socket through which status reports reach systemd.
#pragma once

#include <string>

#include <sys/socket.h>
#include <sys/un.h>

namespace platform {

struct notify_socket {
    int descriptor = -1;
    sockaddr_un address{};
    socklen_t address_length = 0;
};

// Opens a socket for the address `name`: a path, or an abstract name when it begins with
// "@". False (with errno set) when the name cannot be an address or no socket is left.
bool open_notify_socket(const std::string& name, notify_socket& socket);

// Sends `message` as one datagram; false (with errno set) when it cannot be sent.
bool send_notify_message(const notify_socket& socket, const std::string& message);

} // namespace platform
