// A failed call of the installer's, as a value: its code and the system's words for it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/last_error.h"
#include "platform/service_manager.h"

namespace platform {

// `code` with the system's message for it: "Access is denied (error 5)".
inline system_failure failure_of(std::uint32_t code) {
    return {code, error_text(code) + " (error " + std::to_string(code) + ")"};
}

} // namespace platform
