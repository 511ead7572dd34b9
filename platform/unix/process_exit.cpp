// Ending the process on POSIX systems, and the exit status that systemd reads a service's
// result from. Only eight bits of it reach the service manager, so the service's exit
// codes (Windows error codes) are mapped, onto the BSD sysexits values where one fits:
// systemctl shows those by name ("status=78/CONFIG").
#include "platform/process_exit.h"

#include <unistd.h>

namespace platform {

namespace {

constexpr std::uint32_t error_bad_arguments = 160;            // no settings path
constexpr std::uint32_t error_service_request_timeout = 1053; // a time limit ran out
constexpr std::uint32_t error_service_specific_error = 1066;  // the Java program's status
constexpr std::uint32_t error_bad_configuration = 1610;       // settings not loaded
constexpr std::uint32_t error_function_failed = 1627;         // no Java VM

constexpr std::uint32_t exit_failure = 1;
constexpr std::uint32_t exit_usage = 64;
constexpr std::uint32_t exit_unavailable = 69;
constexpr std::uint32_t exit_temporary_failure = 75;
constexpr std::uint32_t exit_configuration = 78;

} // namespace

void exit_process(std::uint32_t code) {
    _exit(static_cast<int>(code));
}

std::uint32_t status_after_service(std::uint32_t exit_code, std::uint32_t specific) {
    switch (exit_code) {
    case 0:
        return 0;
    case error_bad_arguments:
        return exit_usage;
    case error_service_request_timeout:
        return exit_temporary_failure;
    case error_bad_configuration:
        return exit_configuration;
    case error_function_failed:
        return exit_unavailable;
    case error_service_specific_error:
        // The Java program's own status, as far as eight bits carry it; a failure whose
        // low bits are all 0 must not read as success.
        return (specific & 0xff) != 0 ? specific & 0xff : exit_failure;
    default:
        return exit_code <= 0xff ? exit_code : exit_failure;
    }
}

std::uint32_t status_for_sudden_end(std::uint32_t exit_code, std::uint32_t specific) {
    return status_after_service(exit_code, specific);
}

} // namespace platform
