// Standard error on Windows: the handle that GetStdHandle gives at the moment of the call.
#include "platform/standard_error.h"

#include <algorithm>

#include <windows.h>

namespace platform {

void write_standard_error(const char* data, std::size_t size) {
    // A failed write (standard error not open) must not replace the error code of the
    // failure being reported: the service's exit code is that code.
    const DWORD saved_error = GetLastError();
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), data, count, &written, nullptr);
    SetLastError(saved_error);
}

} // namespace platform
