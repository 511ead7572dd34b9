// Text with control characters made visible, for messages that quote what a file holds.
#pragma once

#include <string>

// `text` with line feeds, carriage returns and tabs shown as \n, \r, \t and the other
// control characters as \xNN, so that a quoted value stays on one line and its white
// space can be seen. Other bytes are kept.
std::string visible(const std::string& text);
