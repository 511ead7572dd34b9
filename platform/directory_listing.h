// Listing the entries of one directory that a wildcard pattern selects.
//
// The pattern is a prefix followed by "*". The part up to its last path separator names
// the directory (the current directory when there is none); the rest, a name prefix and
// the "*", selects the entries whose names begin with that prefix. Entries come in the
// order the operating system's listing yields them; "." and ".." are reported, as
// directories, where that listing yields them. A missing or unlistable directory yields
// no entries. A symbolic link counts as what it points to.
#pragma once

#include <string>

namespace platform {

struct directory_entry {
    std::string name; // the entry's name, without any directory part
    bool is_directory = false;
};

// One search through a directory. The search is closed exactly once, when the object
// goes away, if first() opened one.
class directory_search {
  public:
    directory_search() = default;
    ~directory_search();
    directory_search(const directory_search&) = delete;
    directory_search& operator=(const directory_search&) = delete;

    // Starts the search; false when nothing matches or the directory cannot be listed.
    bool first(const std::string& pattern, directory_entry& entry);
    // The next matching entry; false at the end or when the listing fails.
    bool next(directory_entry& entry);

  private:
    void* handle_ = nullptr; // the system's search, null while none is open
};

} // namespace platform
