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
    // The last report found the receiver's queue full for the whole time limit; until one
    // gets through, later reports do not wait again.
    bool stalled = false;
};

// Opens a socket for the address `name`: a path, or an abstract name when it begins with
// "@". False (with errno set) when the name cannot be an address or no socket is left.
bool open_notify_socket(const std::string& name, notify_socket& socket);

// Why no report could reach the address of `socket` (nothing there, not a socket, not a
// datagram socket, nothing bound to it); empty when one can.
std::string notify_address_problem(const notify_socket& socket, const std::string& name);

// Sends `message` as one datagram; false (with errno set) when it cannot be sent, also when
// the receiver has not read its earlier reports for some seconds.
bool send_notify_message(notify_socket& socket, const std::string& message);

} // namespace platform
