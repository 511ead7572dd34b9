// The exit codes that the service reports with its stopped status when its start fails
// without a system error code of its own. Each is a Windows system error code whose
// meaning fits; docs/exit-codes.md lists them with every other code an operator may see.
#pragma once

#include <cstdint>

// The service's command line names no settings file (ERROR_BAD_ARGUMENTS).
constexpr std::uint32_t exit_no_settings_path = 160;

// The settings file cannot be read, is not well-formed XML or is not a settings document
// (ERROR_BAD_CONFIGURATION).
constexpr std::uint32_t exit_settings_not_loaded = 1610;

// The start failed and nothing on the way left an error code (ERROR_FUNCTION_FAILED): a
// failed start must never be reported with exit code 0, which means a normal stop.
constexpr std::uint32_t exit_start_failed = 1627;

// The Java program ended the process with a non-zero status, which the service-specific
// exit code carries (ERROR_SERVICE_SPECIFIC_ERROR).
constexpr std::uint32_t exit_java_status = 1066;

// The start or the stop did not complete within the settings' start_timeout or
// stop_timeout (ERROR_SERVICE_REQUEST_TIMEOUT).
constexpr std::uint32_t exit_request_timeout = 1053;
