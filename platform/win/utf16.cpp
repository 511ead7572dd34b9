// UTF-8 to UTF-16 on Windows: MultiByteToWideChar itself.
#include "platform/utf16.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 units are wchar_t on Windows");

int utf8_to_utf16(const char* text, int length, char16_t* buffer, int capacity) {
    // -1 (text up to its NUL) is the system's own extra; the other builds know only
    // explicit lengths.
    if (length <= 0) {
        return 0;
    }
    // Flags 0: invalid input is replaced, not rejected.
    return MultiByteToWideChar(CP_UTF8, 0, text, length, reinterpret_cast<wchar_t*>(buffer),
                               capacity);
}

} // namespace platform
