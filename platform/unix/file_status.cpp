// What a path names, on POSIX systems: stat, which follows symbolic links.
#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

path_kind kind_of_path(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return path_kind::missing;
    }
    return S_ISDIR(status.st_mode) ? path_kind::directory : path_kind::file;
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

std::string folder_of(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string containing_folder(const std::string& path) {
    std::string folder = folder_of(path);
    if (folder.empty()) {
        return ".";
    }
    if (folder.size() > 1) {
        folder.pop_back();
    }
    return folder;
}

std::string resolved_in(const std::string& folder, const std::string& path) {
    return folder.empty() || is_absolute_path(path) ? path : in_folder(folder, path);
}

bool is_absolute_path(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// The effective user's rights, as open() and creat() would check them; a folder must also
// be searchable for a file in it to be created.
bool may_write(const std::string& path) {
    const path_kind kind = kind_of_path(path);
    if (kind == path_kind::missing) {
        return false;
    }
    const int wanted = kind == path_kind::directory ? W_OK | X_OK : W_OK;
    return faccessat(AT_FDCWD, path.c_str(), wanted, AT_EACCESS) == 0;
}

} // namespace platform
