// Run-time loading on Windows: LoadLibraryA, GetProcAddress, FreeLibrary.
#include "platform/dynamic_library.h"

#include <windows.h>

namespace platform {

library_handle load_library(const std::string& name) {
    // The narrow call on purpose: the configured name passes unchanged, with the
    // system's standard search order.
    return LoadLibraryA(name.c_str());
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
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = length > 0 ? std::string(message, length) : std::string("unknown error");
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    SetLastError(code);
    return text + " (error " + std::to_string(code) + ")";
}

} // namespace platform
