// The settings file read with CreateFileW and ReadFile. The bytes arrive as the C runtime's
// text mode gives them, as they always have (a syntax error's byte index counts them so): a
// carriage return and line feed pair as one line feed, and nothing after a Ctrl-Z.
#include "platform/file_reader.h"

#include <windows.h>

#include "platform/last_error.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

read_failure failure_of(DWORD error) {
    return {error, error_text(error)};
}

} // namespace

file_reader::~file_reader() {
    if (handle_ != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool file_reader::open(const std::string& path, read_failure& failure) {
    const std::wstring wide = wide_text(path);
    // CreateFile refuses a folder with "Access is denied", which would send the operator
    // to the permissions; say what the path is instead.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        failure = {ERROR_DIRECTORY, "it is a folder, not a file"};
        return false;
    }
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure = failure_of(GetLastError());
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

namespace {

// The bytes of one read as text mode gives them; `next` is the byte after them, or -1.
// Returns how many are left, and sets `ended` at a Ctrl-Z.
DWORD as_text(char* buffer, DWORD count, int next, bool& ended) {
    DWORD kept = 0;
    for (DWORD i = 0; i < count; ++i) {
        const char c = buffer[i];
        if (c == '\x1a') {
            ended = true;
            break;
        }
        const int following = i + 1 < count ? static_cast<unsigned char>(buffer[i + 1]) : next;
        if (c != '\r' || following != '\n') {
            buffer[kept++] = c;
        }
    }
    return kept;
}

} // namespace

std::ptrdiff_t file_reader::read(char* buffer, std::size_t size, read_failure& failure) {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    DWORD count = 0;
    const DWORD wanted = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    for (;;) {
        if (!ReadFile(file, buffer, wanted, &count, nullptr)) {
            failure = failure_of(GetLastError());
            return -1;
        }
        if (count == 0) {
            return 0;
        }
        // A carriage return at the end of a read: the next byte decides, and is read again.
        int next = -1;
        char after = 0;
        DWORD got = 0;
        if (buffer[count - 1] == '\r' && ReadFile(file, &after, 1, &got, nullptr) && got == 1) {
            next = static_cast<unsigned char>(after);
            SetFilePointer(file, -1, nullptr, FILE_CURRENT);
        }
        bool ended = false;
        const DWORD kept = as_text(buffer, count, next, ended);
        if (ended) {
            SetFilePointer(file, 0, nullptr, FILE_END);
        }
        // A read of one carriage return whose line feed comes next leaves nothing: read on.
        if (kept > 0 || ended) {
            return static_cast<std::ptrdiff_t>(kept);
        }
    }
}

} // namespace platform
