#include "platform/win/wide_text.h"

#include <windows.h>

namespace platform {

std::wstring wide_text(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), length);
    }
    return result;
}

std::string utf8_text(const wchar_t* text, std::size_t length) {
    if (text == nullptr || length == 0) {
        return std::string();
    }
    const int size = static_cast<int>(length);
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text, size, result.data(), bytes, nullptr, nullptr);
    }
    return result;
}

std::string utf8_text(const wchar_t* text) {
    return text == nullptr ? std::string() : utf8_text(text, wcslen(text));
}

} // namespace platform
