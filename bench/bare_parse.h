// The yardstick for the settings reader: Expat on the same file, read the same way, with
// handlers that do nothing.
#pragma once

#include <string>

// Streams the file at `path` through a parser whose handlers do nothing, in the reader's
// pieces. False when the document is not well-formed.
bool bare_expat_parse(const std::string& path);
