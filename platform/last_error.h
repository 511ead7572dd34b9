// The calling thread's last-error code, as the system's calls leave it.
#pragma once

#include <cstdint>

namespace platform {

std::uint32_t last_error();
void set_last_error(std::uint32_t code);

} // namespace platform
