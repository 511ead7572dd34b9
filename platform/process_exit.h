// Ending the process at once, without exit handlers or static destructors.
#pragma once

#include <cstdint>

namespace platform {

[[noreturn]] void exit_process(std::uint32_t code);

} // namespace platform
