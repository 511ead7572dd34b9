// Reading the settings file into a settings record.
#pragma once

#include <string>

#include <expat.h>

#include "settings/settings.h"

// Streams the file at `path` through the XML parser into `record`, then appends the
// class-path option when the record names a class path. Adds to what the record holds;
// nothing is rolled back on failure.
// Raises MXML::SyntaxException when the file cannot be read or is not well-formed XML,
// load_exception when its root element is not "setting" or a time limit of "server" is
// not a whole number of milliseconds from 1 to max_milliseconds.
void load_settings(const std::string& path, settings_record& record);

// The two halves of load_settings, for a caller that must act in between (enter the
// working directory, against which relative class path items are listed): the file
// streamed into the record, raising as load_settings does; then the class-path option.
void read_settings(const std::string& path, settings_record& record);
void add_class_path_option(settings_record& record);

// Streams the file at `path` through `parser` as load_settings does: read in text mode in
// chunks of 4096 bytes, the last one final. A file that cannot be opened, or a named pipe
// (which would be waited on), gives the parser no data. False at the first parse error or
// where a callback stopped the parser, which then holds the error; the file is closed
// either way.
bool stream_file(XML_Parser parser, const std::string& path);
