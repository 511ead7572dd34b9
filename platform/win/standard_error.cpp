// Standard error on Windows: the handle that GetStdHandle gives at the moment of the call.
#include "platform/standard_error.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include <windows.h>

namespace platform {

// The log is open for writing only: its last byte is read through a handle of its own, and
// where that cannot be had it counts as ended.
bool ends_mid_line(file_handle log) {
    const HANDLE file = reinterpret_cast<HANDLE>(log);
    if (GetFileType(file) != FILE_TYPE_DISK) {
        return false;
    }
    const HANDLE reader =
        ReOpenFile(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (reader == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    char last = '\n';
    DWORD read = 0;
    if (GetFileSizeEx(reader, &size) && size.QuadPart > 0) {
        OVERLAPPED at{};
        const ULONGLONG offset = static_cast<ULONGLONG>(size.QuadPart) - 1;
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        ReadFile(reader, &last, 1, &read, &at);
    }
    CloseHandle(reader);
    return read == 1 && last != '\n';
}

namespace {

// Standard error as the process found it. SetStdHandle replaces the process's standard
// handle but leaves this one open. A service usually has none.
bool initial_kept = false;
HANDLE initial_standard_error = INVALID_HANDLE_VALUE;

void write_bytes(HANDLE file, const char* data, std::size_t size) {
    DWORD written = 0;
    WriteFile(file, data, static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD)), &written,
              nullptr);
}

// Where orvo drains standard error into the log itself, what the log will end with.
std::atomic<captured_line_query> captured_query{nullptr};

// The line, after a line end when the file ends mid-line: in one write where it fits the
// buffer, so that no other writer comes in between. `query` says so where the file is
// behind a pipe.
void write_to(HANDLE file, const char* data, std::size_t size,
              captured_line_query query = nullptr) {
    // A failed write (standard error not open) must not replace the error code of the
    // failure being reported: the service's exit code is that code.
    const DWORD saved_error = GetLastError();
    char joined[512];
    const bool mid_line =
        query != nullptr ? query() : ends_mid_line(reinterpret_cast<file_handle>(file));
    if (!mid_line) {
        write_bytes(file, data, size);
    } else if (size <= sizeof joined - 2) {
        std::memcpy(joined, "\r\n", 2);
        std::memcpy(joined + 2, data, size);
        write_bytes(file, joined, size + 2);
    } else {
        write_bytes(file, "\r\n", 2);
        write_bytes(file, data, size);
    }
    SetLastError(saved_error);
}

} // namespace

void write_standard_error(const char* data, std::size_t size) {
    write_to(GetStdHandle(STD_ERROR_HANDLE), data, size, captured_query.load());
}

void set_captured_line_query(captured_line_query query) {
    captured_query.store(query);
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
