// The current directory on Windows: SetCurrentDirectoryW, the path as written.
#include "platform/current_directory.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

bool change_directory(const std::string& path) {
    return SetCurrentDirectoryW(wide_text(path).c_str()) != FALSE;
}

} // namespace platform
