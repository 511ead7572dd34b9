// The datagram that carries one status report to systemd's notify socket.
#pragma once

#include <string>

#include "platform/service_control.h"

namespace platform {

// Newline-separated KEY=VALUE lines: the status's members as X_ORVO_* values, a STATUS=
// text for people, and the systemd keys that the state calls for.
std::string notify_message(const service_status& status);

} // namespace platform
