// What a path names, on POSIX systems: stat, which follows symbolic links.
#include "platform/file_status.h"

#include <sys/stat.h>

namespace platform {

path_kind kind_of_path(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return path_kind::missing;
    }
    return S_ISDIR(status.st_mode) ? path_kind::directory : path_kind::file;
}

bool opening_waits(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
}

bool names_folder(const std::string& path) {
    return path.find('/') != std::string::npos;
}

std::string in_folder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + '/' + name;
}

} // namespace platform
