// orvo's text, UTF-8 throughout, to and from the wide text that Windows' W calls take and
// give. Every name orvo hands to the system goes through here: the narrow (A) calls would
// read it in the ANSI code page, which garbles or loses every character outside it.
#pragma once

#include <string>

namespace platform {

// `text` (UTF-8) in UTF-16. Invalid UTF-8 is replaced as MultiByteToWideChar replaces it,
// one U+FFFD a piece.
std::wstring wide_text(const std::string& text);

// The NUL-terminated `text` (null reads as empty) in UTF-8. A lone surrogate becomes
// U+FFFD.
std::string utf8_text(const wchar_t* text);

// The first `length` units of `text` in UTF-8.
std::string utf8_text(const wchar_t* text, std::size_t length);

} // namespace platform
