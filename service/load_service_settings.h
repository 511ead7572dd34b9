// Reading the settings file at start-up, with its failures made visible.
#pragma once

#include <string>

// Fills the settings record from `path`. When the file cannot be read or is not a
// settings document, writes an "error: " line that names the reason and orvo-check to the
// standard error the process was started with, sets the last-error code to
// exit_bad_configuration and returns false.
bool load_service_settings(const std::string& path);

// Writes the line for a command line that names no settings file.
void report_missing_settings_path();
