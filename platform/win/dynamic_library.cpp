// Run-time loading on Windows: LoadLibraryW, GetProcAddress, FreeLibrary.
#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

library_handle load_library(const std::string& name) {
    // The configured name as written, with the system's standard search order.
    return LoadLibraryW(wide_text(name).c_str());
}

library_function find_function(library_handle library, const char* name) {
    return reinterpret_cast<library_function>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void free_library(library_handle library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

std::string library_error() {
    const DWORD code = GetLastError();
    wchar_t* message = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = length > 0 ? utf8_text(message, length) : std::string("unknown error");
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    SetLastError(code);
    return text + " (error " + std::to_string(code) + ")";
}

} // namespace platform
