// Standard output set aside on Windows: the standard output handle replaced by the standard
// error one, which the Java VM's runtime and its System.out take when they start.
#include "platform/standard_output_aside.h"

#include <windows.h>

#include "platform/log_files.h"

namespace platform {

namespace {
HANDLE kept_output = nullptr;
}

void set_standard_output_aside() {
    kept_output = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
}

bool write_set_aside_output(const std::string& lines) {
    // As the C runtime writes standard output in text mode: each line ends with CR LF.
    std::string text;
    for (const char c : lines) {
        text += c == '\n' ? "\r\n" : std::string(1, c);
    }
    const HANDLE output = kept_output != nullptr ? kept_output : GetStdHandle(STD_OUTPUT_HANDLE);
    std::uint32_t error = 0;
    return write_file(reinterpret_cast<file_handle>(output), text.data(), text.size(), error) ==
           text.size();
}

} // namespace platform
