// The yardstick for the settings reader: Expat on the same file, read the same way, with
// no handlers at all.
#pragma once

#include <string>

// Streams the file at `path` through a parser without handlers, in chunks of the reader's
// size (4096 bytes). False when the document is not well-formed.
bool bare_expat_parse(const std::string& path);
