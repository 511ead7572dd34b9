// The standard handles: files opened with CreateFileW and installed with SetStdHandle.
#include "platform/standard_handles.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

HANDLE handle_of(file_handle file) {
    return reinterpret_cast<HANDLE>(file);
}

bool same_file(HANDLE first, HANDLE second) {
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION other{};
    return GetFileInformationByHandle(first, &one) && GetFileInformationByHandle(second, &other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

DWORD standard_handle_id(standard_stream stream) {
    return stream == standard_stream::output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

} // namespace

file_handle open_log_file(const std::string& path) {
    // Others may read, write, rename and delete the file while the service writes it: a
    // viewer that follows it, an operator's rotation. (A reader that itself allows read
    // sharing only is refused by the system while anyone writes the file.)
    const HANDLE file = CreateFileW(wide_text(path).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<file_handle>(file);
}

void move_to_end(file_handle file) {
    SetFilePointer(handle_of(file), 0, nullptr, FILE_END);
}

bool names_open_file(const std::string& path, file_handle file) {
    if (file == invalid_file_handle) {
        return false;
    }
    // Asking for no access at all does not collide with the writer's sharing mode.
    const HANDLE named = CreateFileW(wide_text(path).c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool same = same_file(named, handle_of(file));
    CloseHandle(named);
    return same;
}

void set_standard_handle(standard_stream stream, file_handle file) {
    SetStdHandle(standard_handle_id(stream), handle_of(file));
}

file_handle standard_handle(standard_stream stream) {
    return reinterpret_cast<file_handle>(GetStdHandle(standard_handle_id(stream)));
}

} // namespace platform
