#include "javahost/widen_utf8.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/utf16.h"

void widen_utf8(const std::string& text, std::u16string& wide) {
    wide.clear();
    // The terminating NUL is converted with the text, and the length must fit an int.
    if (text.size() >= static_cast<std::size_t>(INT_MAX)) {
        return;
    }
    const int length = static_cast<int>(text.size()) + 1;
    const int needed = platform::utf8_to_utf16(text.c_str(), length, nullptr, 0);
    if (needed <= 0) {
        return;
    }
    std::vector<char16_t> buffer(static_cast<std::size_t>(needed));
    const int converted = platform::utf8_to_utf16(text.c_str(), length, buffer.data(), needed);
    if (converted <= 0) {
        return;
    }
    // Invalid UTF-8 just before the end can swallow the NUL, so it is looked for only
    // among the units that were written.
    const auto end = buffer.begin() + converted;
    wide.assign(buffer.begin(), std::find(buffer.begin(), end, u'\0'));
}
