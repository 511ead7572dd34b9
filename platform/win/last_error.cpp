// The last-error code: the system's own.
#include "platform/last_error.h"

#include <windows.h>

namespace platform {

std::uint32_t last_error() {
    return GetLastError();
}

void set_last_error(std::uint32_t code) {
    SetLastError(code);
}

} // namespace platform
