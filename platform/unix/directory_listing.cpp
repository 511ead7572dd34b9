// Directory listing on POSIX systems: opendir/readdir with the wildcard rule done here.
#include "platform/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

struct unix_search {
    DIR* dir;
    std::string name_prefix;
};

// d_type saves a stat per entry; links and file systems that do not fill it in need
// the stat, which follows links the way Windows reports them.
bool is_directory(DIR* dir, const dirent& found) {
    if (found.d_type == DT_DIR) {
        return true;
    }
    if (found.d_type != DT_LNK && found.d_type != DT_UNKNOWN) {
        return false;
    }
    struct stat status {};
    return fstatat(dirfd(dir), found.d_name, &status, 0) == 0 && S_ISDIR(status.st_mode);
}

bool read_matching(unix_search& search, directory_entry& entry) {
    while (const dirent* found = readdir(search.dir)) {
        const std::string name = found->d_name;
        if (name.compare(0, search.name_prefix.size(), search.name_prefix) == 0) {
            entry.name = name;
            entry.is_directory = is_directory(search.dir, *found);
            return true;
        }
    }
    return false;
}

} // namespace

directory_search::~directory_search() {
    if (auto* search = static_cast<unix_search*>(handle_)) {
        closedir(search->dir);
        delete search;
    }
}

bool directory_search::first(const std::string& pattern, directory_entry& entry) {
    const std::string::size_type slash = pattern.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string(".") : pattern.substr(0, slash + 1);
    std::string name_pattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (!name_pattern.empty() && name_pattern.back() == '*') {
        name_pattern.pop_back();
    }
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) {
        return false;
    }
    auto* search = new unix_search{dir, std::move(name_pattern)};
    handle_ = search;
    return read_matching(*search, entry);
}

bool directory_search::next(directory_entry& entry) {
    auto* search = static_cast<unix_search*>(handle_);
    return search != nullptr && read_matching(*search, entry);
}

} // namespace platform
