// The current directory on POSIX systems: chdir.
#include "platform/current_directory.h"

#include <cerrno>

#include <unistd.h>

#include "platform/last_error.h"

namespace platform {

bool change_directory(const std::string& path) {
    if (chdir(path.c_str()) == 0) {
        return true;
    }
    set_last_error(static_cast<std::uint32_t>(errno));
    return false;
}

} // namespace platform
