// The start parameters' conversion from the settings file's UTF-8 to Java's UTF-16.
#pragma once

#include <string>

// Fills `wide` with `text` in UTF-16, invalid UTF-8 replaced as the platform's conversion
// replaces it. The text ends at its first NUL. When the conversion fails, `wide` is empty.
void widen_utf8(const std::string& text, std::u16string& wide);
