// UTF-8 to UTF-16 where the system has no MultiByteToWideChar: the same cuts, the same
// replacement characters.
#include "platform/utf16.h"

namespace platform {

namespace {

constexpr char32_t replacement = 0xFFFD;

bool is_continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the sequence that `lead` starts, 1 for ASCII, 0 for a byte that
// starts none.
int sequence_length(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Whether the first ten or nine bits of a three- or four-byte sequence can still give a
// character: not overlong, not a surrogate, not beyond U+10FFFF.
bool valid_prefix(int length, char32_t prefix) {
    if (length == 3) {
        return prefix >= 0x20 && !(prefix >= 0x360 && prefix < 0x380);
    }
    return length != 4 || (prefix >= 0x10 && prefix < 0x110);
}

// Decodes the piece at `at`, moves `at` past it and returns its character, or the
// replacement character for an ill-formed piece.
char32_t decode(const unsigned char*& at, const unsigned char* end) {
    const unsigned char lead = *at;
    const int length = sequence_length(lead);
    if (length <= 1) {
        ++at;
        return length == 1 ? lead : replacement;
    }
    if (end - at < length) {
        at = end;
        return replacement;
    }
    char32_t value = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (!is_continuation(at[i])) {
            at += i;
            return replacement;
        }
        value = (value << 6) | (at[i] & 0x3F);
        if (i == 1 && !valid_prefix(length, value)) {
            at += 2;
            return replacement;
        }
    }
    at += length;
    return value;
}

// Stores one character's units where there is room and counts them in any case.
void put(char32_t character, char16_t* buffer, int capacity, int& count) {
    if (character >= 0x10000) {
        character -= 0x10000;
        put(0xD800 + (character >> 10), buffer, capacity, count);
        put(0xDC00 + (character & 0x3FF), buffer, capacity, count);
        return;
    }
    if (count < capacity) {
        buffer[count] = static_cast<char16_t>(character);
    }
    ++count;
}

} // namespace

int utf8_to_utf16(const char* text, int length, char16_t* buffer, int capacity) {
    if (text == nullptr || length <= 0 || capacity < 0 || (capacity > 0 && buffer == nullptr)) {
        return 0;
    }
    const auto* at = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* end = at + length;
    int count = 0;
    while (at < end) {
        put(decode(at, end), buffer, capacity, count);
    }
    return capacity > 0 && count > capacity ? 0 : count;
}

} // namespace platform
