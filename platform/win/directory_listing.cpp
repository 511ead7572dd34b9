// Directory listing on Windows: FindFirstFileW and friends apply the wildcard rule. Names
// come back in UTF-8, whatever their script: the narrow calls would give them in the ANSI
// code page, with a "?" for every character outside it, naming a file that is not there.
#include "platform/directory_listing.h"

#include <windows.h>

#include "platform/win/wide_text.h"

namespace platform {

namespace {

void fill(const WIN32_FIND_DATAW& data, directory_entry& entry) {
    entry.name = utf8_text(data.cFileName);
    entry.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

directory_search::~directory_search() {
    if (handle_ != nullptr) {
        FindClose(static_cast<HANDLE>(handle_));
    }
}

bool directory_search::first(const std::string& pattern, directory_entry& entry) {
    WIN32_FIND_DATAW data;
    const HANDLE found = FindFirstFileW(wide_text(pattern).c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) {
        return false;
    }
    handle_ = found;
    fill(data, entry);
    return true;
}

bool directory_search::next(directory_entry& entry) {
    WIN32_FIND_DATAW data;
    if (handle_ == nullptr || FindNextFileW(static_cast<HANDLE>(handle_), &data) == 0) {
        return false;
    }
    fill(data, entry);
    return true;
}

} // namespace platform
