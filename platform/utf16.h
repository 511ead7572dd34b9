// UTF-8 to UTF-16 with the results of Windows' MultiByteToWideChar(CP_UTF8, 0, ...).
//
// Invalid input is not rejected but replaced, one U+FFFD for each ill-formed piece as
// Windows cuts them: a byte that cannot start a sequence (80-C1, F5-FF); a start byte
// whose next byte is not a continuation byte; a start byte with one continuation byte
// that makes an overlong form, a surrogate (ED A0-BF) or a value beyond U+10FFFF; a
// sequence cut short by a byte that is not a continuation byte. A sequence whose start
// byte promises more bytes than the input still holds takes up the whole rest of the
// input as one U+FFFD. Characters beyond the basic plane become surrogate pairs; a NUL
// byte becomes a NUL unit.
#pragma once

namespace platform {

// Converts `length` bytes at `text`. With `capacity` 0, `buffer` is not touched and the
// number of UTF-16 units needed is returned. Otherwise at most `capacity` units are
// written to `buffer` and their number is returned. 0 means failure: `length` not
// positive, or the buffer too small.
int utf8_to_utf16(const char* text, int length, char16_t* buffer, int capacity);

} // namespace platform
