// The system's words for an error code, for the installer's calls.
#pragma once

#include <cstdint>

#include "platform/service_manager.h"

namespace platform {

// `code` with the system's message for it, "Access is denied. (error 5)".
system_failure failure_of(std::uint32_t code);

} // namespace platform
