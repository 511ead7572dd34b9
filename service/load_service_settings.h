// Reading the settings file at start-up, with its failures made visible.
#pragma once

#include <string>

// Fills the settings record from `path`, then sets the process up as the settings say:
// the working directory entered, the class path expanded there, the environment variables
// set. When the file cannot be read or is not a settings document, writes an "error: "
// line that names the reason and orvo-check where the service manager looks (the standard
// error the process was started with, on Windows also the event log), sets the last-error
// code to exit_bad_configuration and returns false. When the working directory cannot be
// entered, writes the line that says why there and sets the code of the failed change
// (exit_bad_directory where the system's codes are not the service manager's).
bool load_service_settings(const std::string& path);

// Writes the line for a command line that names no settings file.
void report_missing_settings_path();
