// Standard error on Windows: the handle that GetStdHandle gives at the moment of the call.
#include "platform/standard_error.h"

#include <algorithm>

#include <windows.h>

namespace platform {

namespace {

// Standard error as the process found it. SetStdHandle replaces the process's standard
// handle but leaves this one open. A service usually has none.
bool initial_kept = false;
HANDLE initial_standard_error = INVALID_HANDLE_VALUE;

void write_to(HANDLE file, const char* data, std::size_t size) {
    // A failed write (standard error not open) must not replace the error code of the
    // failure being reported: the service's exit code is that code.
    const DWORD saved_error = GetLastError();
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    WriteFile(file, data, count, &written, nullptr);
    SetLastError(saved_error);
}

} // namespace

void write_standard_error(const char* data, std::size_t size) {
    write_to(GetStdHandle(STD_ERROR_HANDLE), data, size);
}

void keep_initial_standard_error() {
    const DWORD saved_error = GetLastError();
    initial_standard_error = GetStdHandle(STD_ERROR_HANDLE);
    initial_kept = true;
    SetLastError(saved_error);
}

void write_initial_standard_error(const char* data, std::size_t size) {
    if (!initial_kept) {
        write_standard_error(data, size);
    } else if (initial_standard_error != nullptr &&
               initial_standard_error != INVALID_HANDLE_VALUE) {
        write_to(initial_standard_error, data, size);
    }
}

bool standard_output_is_standard_error() {
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (output == error || (GetConsoleMode(output, &mode) && GetConsoleMode(error, &mode))) {
        return true; // a process has one console at most
    }
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return GetFileInformationByHandle(output, &one) && GetFileInformationByHandle(error, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

} // namespace platform
