// Log files on Windows.
#include "platform/log_files.h"

#include <algorithm>

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

HANDLE handle_of(file_handle file) {
    return reinterpret_cast<HANDLE>(file);
}

// The last-error code as it was before a call that reports its own failure as a value.
class last_error_kept {
  public:
    last_error_kept() : saved_(GetLastError()) {}
    ~last_error_kept() { SetLastError(saved_); }
    last_error_kept(const last_error_kept&) = delete;
    last_error_kept& operator=(const last_error_kept&) = delete;

  private:
    DWORD saved_;
};

std::uint32_t result_of(BOOL succeeded) {
    return succeeded ? 0 : GetLastError();
}

} // namespace

std::uint32_t rename_file(const std::string& from, const std::string& to) {
    const last_error_kept kept;
    // Without MOVEFILE_REPLACE_EXISTING an existing file keeps its name.
    return result_of(MoveFileExW(wide_text(from).c_str(), wide_text(to).c_str(), 0));
}

std::uint32_t remove_file(const std::string& path) {
    const last_error_kept kept;
    return result_of(DeleteFileW(wide_text(path).c_str()));
}

bool file_size(file_handle file, std::uint64_t& size) {
    const last_error_kept kept;
    LARGE_INTEGER found{};
    if (!GetFileSizeEx(handle_of(file), &found)) {
        return false;
    }
    size = static_cast<std::uint64_t>(found.QuadPart);
    return true;
}

bool is_disk_file(file_handle file) {
    const last_error_kept kept;
    return GetFileType(handle_of(file)) == FILE_TYPE_DISK;
}

bool file_deleted(file_handle file) {
    const last_error_kept kept;
    FILE_STANDARD_INFO info{};
    // A file deleted while others hold it is only marked so; one deleted behind the
    // system's back (Wine: the Unix file removed) has no link left.
    return GetFileInformationByHandleEx(handle_of(file), FileStandardInfo, &info, sizeof info) &&
           (info.DeletePending || info.NumberOfLinks == 0);
}

std::uint32_t deleted_file_error() {
    return ERROR_FILE_NOT_FOUND;
}

std::size_t write_file(file_handle file, const char* data, std::size_t size, std::uint32_t& error) {
    const last_error_kept kept;
    std::size_t done = 0;
    while (done < size) {
        const auto count = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD written = 0;
        const BOOL succeeded = WriteFile(handle_of(file), data + done, count, &written, nullptr);
        done += written;
        if (!succeeded || written == 0) {
            error = succeeded ? ERROR_DISK_FULL : GetLastError();
            break;
        }
    }
    return done;
}

void close_file(file_handle file) {
    const last_error_kept kept;
    CloseHandle(handle_of(file));
}

} // namespace platform
