// Narrow strings, as orvo carries them, to and from the wide ones that Windows' W calls
// take and give.
#pragma once

#include <string>

namespace platform {

// `text` in UTF-16, read in `code_page`: CP_ACP for names that narrow calls elsewhere take
// as they are, CP_UTF8 for the settings' values.
std::wstring wide_text(const std::string& text, unsigned code_page);

// The NUL-terminated `text` (null reads as empty) in `code_page`.
std::string narrow_text(const wchar_t* text, unsigned code_page);

} // namespace platform
