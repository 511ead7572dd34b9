// The settings file read through the C runtime in text mode, as it always has been: a
// carriage return and line feed pair arrives as one line feed (a syntax error's byte index
// counts it so), and nothing after a Ctrl-Z. The path is opened by its wide name.
#include "platform/file_reader.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/last_error.h"
#include "platform/win/wide_text.h"

namespace platform {

namespace {

// The system's code behind the C runtime's failure, and its words.
read_failure failure_here() {
    const auto code = static_cast<std::uint32_t>(_doserrno);
    return {code, error_text(code)};
}

} // namespace

file_reader::~file_reader() {
    if (handle_ != -1) {
        _close(static_cast<int>(handle_));
    }
}

bool file_reader::open(const std::string& path, read_failure& failure) {
    const std::wstring wide = wide_text(path);
    // The C runtime refuses a folder with "Access is denied", which would send the
    // operator to the permissions; say what the path is instead.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        failure = {ERROR_DIRECTORY, "it is a folder, not a file"};
        return false;
    }
    const int file = _wopen(wide.c_str(), _O_RDONLY | _O_TEXT);
    if (file < 0) {
        failure = failure_here();
        return false;
    }
    handle_ = file;
    return true;
}

std::ptrdiff_t file_reader::read(char* buffer, std::size_t size, read_failure& failure) {
    const unsigned wanted = size > 0x40000000 ? 0x40000000u : static_cast<unsigned>(size);
    const int count = _read(static_cast<int>(handle_), buffer, wanted);
    if (count < 0) {
        failure = failure_here();
    }
    return count;
}

} // namespace platform
