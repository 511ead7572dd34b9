#include "service/exit_codes.h"

#include "platform/process_exit.h"
#include "service/service_globals.h"

namespace {

constexpr std::uint32_t status_failure = 1;
constexpr std::uint32_t status_usage = 64;         // EX_USAGE
constexpr std::uint32_t status_software = 70;      // EX_SOFTWARE
constexpr std::uint32_t status_unavailable = 69;   // EX_UNAVAILABLE
constexpr std::uint32_t status_cannot_create = 73; // EX_CANTCREAT
constexpr std::uint32_t status_temporary = 75;     // EX_TEMPFAIL
constexpr std::uint32_t status_configuration = 78; // EX_CONFIG
constexpr std::uint32_t status_interrupted = 130;  // a shell's status after Ctrl-C (128 + SIGINT)

// The Java program's own status, as far as eight bits carry it; a failure whose low bits
// are all 0 must not read as success.
std::uint32_t java_status(std::uint32_t specific) {
    return (specific & 0xff) != 0 ? specific & 0xff : status_failure;
}

} // namespace

const exit_status_entry exit_statuses[] = {
    {exit_no_settings_path, status_usage},        {exit_log_not_opened, status_cannot_create},
    {exit_bad_directory, status_configuration},   {exit_request_timeout, status_temporary},
    {exit_start_threw, status_software},          {exit_bad_configuration, status_configuration},
    {exit_start_failed, status_unavailable},      {exit_console_interrupted, status_interrupted},
    {exit_ended_before_running, status_software},
};
const std::size_t exit_status_count = sizeof exit_statuses / sizeof exit_statuses[0];

std::uint32_t carried_exit_status(std::uint32_t exit_code, std::uint32_t specific) {
    if (exit_code == exit_java_status) {
        return java_status(specific);
    }
    for (std::size_t i = 0; i < exit_status_count; ++i) {
        if (exit_statuses[i].exit_code == exit_code) {
            return exit_statuses[i].status;
        }
    }
    return exit_code <= 0xff ? exit_code : status_failure;
}

std::uint32_t process_status_for(std::uint32_t exit_code, std::uint32_t specific) {
    if (platform::exit_status_carries_result) {
        return carried_exit_status(exit_code, specific);
    }
    if (exit_code == exit_java_status) {
        return specific;
    }
    return run_in_console ? exit_code : 0;
}
