// The current directory on Windows: SetCurrentDirectoryA, the path passed unchanged.
#include "platform/current_directory.h"

#include <windows.h>

namespace platform {

bool change_directory(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

} // namespace platform
