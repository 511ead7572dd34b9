// Java VM options on Windows: UTF-8 to the ANSI code page, refusing what it does not hold.
#include "platform/vm_option_text.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

// `text` in `code_page`; false when a character has no place there. WC_NO_BEST_FIT_CHARS
// keeps the conversion from putting a look-alike ("u" for "ü") where the character is
// missing, and the default character it would use instead ("?") is reported as used.
bool in_code_page(UINT code_page, const wchar_t* text, int length, std::string& converted) {
    BOOL used_default = FALSE;
    const int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, length, nullptr, 0,
                                         nullptr, &used_default);
    if (size <= 0 || used_default) {
        return false;
    }
    converted.assign(static_cast<std::size_t>(size), '\0');
    return WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, text, length, converted.data(),
                               size, nullptr, &used_default) == size &&
           !used_default;
}

// The first character of `wide` (a surrogate pair is one) that `code_page` does not hold.
std::string first_unpassable(UINT code_page, const std::wstring& wide) {
    std::string ignored;
    for (std::size_t i = 0; i < wide.size();) {
        const bool pair =
            IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() && IS_LOW_SURROGATE(wide[i + 1]);
        const int length = pair ? 2 : 1;
        if (!in_code_page(code_page, wide.data() + i, length, ignored)) {
            return utf8_text(wide.data() + i, static_cast<std::size_t>(length));
        }
        i += static_cast<std::size_t>(length);
    }
    return std::string();
}

} // namespace

bool vm_option_text(const std::string& option, std::string& text, std::string& unpassable) {
    const UINT code_page = GetACP();
    // A system whose ANSI code page is UTF-8 takes every character; the conversion there
    // takes no flags, and orvo's text is UTF-8 already.
    if (code_page == CP_UTF8 || option.empty()) {
        text = option;
        return true;
    }
    const std::wstring wide = wide_text(option);
    std::string converted;
    if (!in_code_page(code_page, wide.data(), static_cast<int>(wide.size()), converted)) {
        unpassable = first_unpassable(code_page, wide);
        return false;
    }
    text = converted;
    return true;
}

std::uint32_t vm_option_code_page() {
    return GetACP();
}

} // namespace platform
