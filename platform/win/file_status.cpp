// What a path names, on Windows: GetFileAttributesA. Both "\" and "/" separate folders.
#include "platform/file_status.h"

#include <windows.h>

namespace platform {

path_kind kind_of_path(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return path_kind::missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? path_kind::directory : path_kind::file;
}

// A path that CreateFile opens never waits for a peer.
bool opening_waits(const std::string&) {
    return false;
}

bool names_folder(const std::string& path) {
    return path.find_first_of("\\/") != std::string::npos;
}

std::string in_folder(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + folder_separator + name;
}

std::string folder_of(const std::string& path) {
    const std::string::size_type separator = path.find_last_of("\\/:");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

// A drive letter and colon count as absolute even without a separator after them ("C:x"
// is relative to drive C's own current folder): joining another folder in front of it
// would make a path that names nothing.
bool is_absolute_path(const std::string& path) {
    return (!path.empty() && (path[0] == '\\' || path[0] == '/')) ||
           (path.size() >= 2 && path[1] == ':');
}

std::string resolved_in(const std::string& folder, const std::string& path) {
    return folder.empty() || is_absolute_path(path) ? path : in_folder(folder, path);
}

} // namespace platform
