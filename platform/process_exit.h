// Ending the process, and whether its exit status tells how the service ended.
#pragma once

#include <cstdint>

namespace platform {

// Ends the process at once, without exit handlers or static destructors.
[[noreturn]] void exit_process(std::uint32_t code);

// Whether the service manager takes a service's result from its process's exit status
// alone (systemd), rather than from the stopped report (the Windows service control
// manager).
#ifdef _WIN32
constexpr bool exit_status_carries_result = false;
#else
constexpr bool exit_status_carries_result = true;
#endif

} // namespace platform
