// What a path names on disk, for explaining why a file could not be used.
#pragma once

#include <string>

namespace platform {

#ifdef _WIN32
constexpr char folder_separator = '\\';
#else
constexpr char folder_separator = '/';
#endif

enum class path_kind {
    missing,   // nothing is there, or the path cannot be looked at
    file,      // a file (a symbolic link counts as what it points to)
    directory, // a folder
};

path_kind kind_of_path(const std::string& path);

// True when `path` names a folder as well as a name (it has a folder separator), so that
// the system takes it as it is rather than looking for the name along its search order.
bool names_folder(const std::string& path);

// `name` inside `folder`, with the system's separator between them.
std::string in_folder(const std::string& folder, const std::string& name);

// The folder part of a file's path, up to its last separator (kept); empty when the path
// names no folder, that is, the file is in the current directory.
std::string folder_of(const std::string& path);

// The folder that holds `path`, as a path of its own: folder_of without its last separator,
// which a root keeps ("/", "C:\"); "." when the path names no folder.
std::string containing_folder(const std::string& path);

// True when `path` means the same place whatever the current folder is: on Linux a path
// from "/"; on Windows a drive with its root ("C:\", "C:/"), a network path ("\\server\share")
// or a path from the root of the current drive ("\logs"). False for the empty path.
bool is_absolute_path(const std::string& path);

// False when the user running this process may not create files in the folder `path`, or
// append to the file `path`, as far as the system's permissions tell; also false when
// nothing is there. Changes nothing on disk. Where the system cannot tell (a failed query),
// the answer is true: a doubt is no reason to warn.
bool may_write(const std::string& path);

// `path` as seen from `folder`: `path` itself when it is absolute, names a drive of its own
// (Windows: "C:x", relative to that drive's own current folder), or `folder` is empty.
std::string resolved_in(const std::string& folder, const std::string& path);

} // namespace platform
