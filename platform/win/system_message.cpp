#include "platform/win/system_message.h"

#include <windows.h>

namespace platform {

system_failure failure_of(std::uint32_t code) {
    char* message = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
    std::string text = length > 0 ? std::string(message, length) : std::string("unknown error");
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return {code, text + " (error " + std::to_string(code) + ")"};
}

} // namespace platform
