// Ending the process, and the exit status that tells how the service ended.
#pragma once

#include <cstdint>

namespace platform {

// Ends the process at once, without exit handlers or static destructors.
[[noreturn]] void exit_process(std::uint32_t code);

// The status the process ends with once its service has ended with `exit_code` (and, with
// ERROR_SERVICE_SPECIFIC_ERROR, the service-specific `specific`) and the dispatcher has
// returned. On Windows the service control manager takes the service's result from the
// stopped report, and the status is 0. Under systemd, which takes a service's result from
// its exit status alone, it is 0 after a normal stop and never 0 after a failure.
std::uint32_t status_after_service(std::uint32_t exit_code, std::uint32_t specific);

// The status of a process that ends at once with the service (the Java VM ended the
// process, a time limit ran out). Under systemd it is status_after_service's. On Windows
// it is the Java program's own status after System.exit(N) or Runtime.halt(N) (the
// service-specific code), and 0 for every other end, as after the dispatcher returns.
std::uint32_t status_for_sudden_end(std::uint32_t exit_code, std::uint32_t specific);

} // namespace platform
