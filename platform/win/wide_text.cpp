#include "platform/win/wide_text.h"

#include <windows.h>

namespace platform {

std::wstring wide_text(const std::string& text, unsigned code_page) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(code_page, 0, text.data(), size, result.data(), length);
    }
    return result;
}

std::string narrow_text(const wchar_t* text, unsigned code_page) {
    if (text == nullptr || *text == L'\0') {
        return std::string();
    }
    const int length = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return std::string();
    }
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(code_page, 0, text, -1, result.data(), length, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(length - 1)); // without the NUL
    return result;
}

} // namespace platform
