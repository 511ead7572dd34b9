// Reading the settings file into a settings record.
#pragma once

#include <string>

#include "settings/settings.h"

// Streams the file at `path` through the XML parser into `record`, then appends the
// class-path option when the record names a class path. Adds to what the record holds;
// nothing is rolled back on failure.
// Raises MXML::SyntaxException when the file cannot be read or is not well-formed XML,
// load_exception when its root element is not "setting" or a time limit of "server" is
// not a whole number of milliseconds from 1 to max_milliseconds.
void load_settings(const std::string& path, settings_record& record);
