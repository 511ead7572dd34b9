// Reading the settings file into a settings record.
#pragma once

#include <cstddef>
#include <string>

#include "settings/settings.h"
#include "settings/settings_observer.h"

// Streams the file at `path` through the XML parser into `record`, telling `observer`
// (optional) what the reader takes and passes over. Adds to what the record holds; nothing
// is rolled back on failure. Raises settings_file_error when the file cannot be opened or
// read, MXML::SyntaxException when it is not well-formed XML, and load_exception when it is
// no usable settings document: its root element is not "setting", an attribute's value
// cannot be used (a time limit that is not a whole number of milliseconds from 1 to
// max_milliseconds, an env name that names no variable), or an element follows the end of
// a "setting" nested in the root. Appends no class-path option: the class path is
// expanded above this layer.
void read_settings(const std::string& path, settings_record& record,
                   settings_observer* observer = nullptr);

// The same for a document held in memory, handed to the parser in pieces of `piece` bytes
// (0: at once).
void read_settings_bytes(const char* data, std::size_t size, std::size_t piece,
                         settings_record& record, settings_observer* observer = nullptr);
