// The last-error code: the system's own.
#include "platform/last_error.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

std::uint32_t last_error() {
    return GetLastError();
}

void set_last_error(std::uint32_t code) {
    SetLastError(code);
}

// Every code of the layer's is a Windows code, whose words the system knows.
void set_last_error(std::uint32_t code, const char*) {
    SetLastError(code);
}

std::string last_error_text() {
    return error_text(GetLastError());
}

std::string error_text(std::uint32_t code) {
    const DWORD saved_error = GetLastError();
    // In the system's language, which may hold any character: UTF-8 as all of orvo's text.
    wchar_t buffer[512];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, buffer, 512, nullptr);
    std::string text = utf8_text(buffer, length);
    // The system's messages end with a period and a line end.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    SetLastError(saved_error);
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::uint32_t service_exit_code_for(std::uint32_t code, std::uint32_t fallback) {
    return code != 0 ? code : fallback;
}

} // namespace platform
