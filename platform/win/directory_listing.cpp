// Directory listing on Windows: FindFirstFileA and friends apply the wildcard rule.
#include "platform/directory_listing.h"

#include <windows.h>

namespace platform {

namespace {

void fill(const WIN32_FIND_DATAA& data, directory_entry& entry) {
    entry.name = data.cFileName;
    entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

directory_search::~directory_search() {
    if (handle_ != nullptr) {
        FindClose(static_cast<HANDLE>(handle_));
    }
}

bool directory_search::first(const std::string& pattern, directory_entry& entry) {
    WIN32_FIND_DATAA data;
    const HANDLE found = FindFirstFileA(pattern.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = found;
    fill(data, entry);
    return true;
}

bool directory_search::next(directory_entry& entry) {
    WIN32_FIND_DATAA data;
    if (handle_ == nullptr || FindNextFileA(static_cast<HANDLE>(handle_), &data) == 0) {
        return false;
    }
    fill(data, entry);
    return true;
}

} // namespace platform
