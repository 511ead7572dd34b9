// Reading the settings file at start-up, with its failures made visible.
#pragma once

#include <cstdint>
#include <string>

// Fills the settings record from `path`, then sets the process up as the settings say:
// the working directory entered, the class path expanded there, the environment variables
// set. 0 when done. When the file cannot be read or is not a settings document, writes an
// "error: " line that names the reason (and orvo-check, for a file that does not load)
// where the service manager looks (the standard error the process was started with, on
// Windows also the event log) and returns exit_bad_configuration. When the working
// directory cannot be entered, writes the line that says why there and returns the code
// of the failed change (exit_bad_directory where the system's codes are not the service
// manager's).
std::uint32_t load_service_settings(const std::string& path);

// Writes the line for a command line that names no settings file.
void report_missing_settings_path();
