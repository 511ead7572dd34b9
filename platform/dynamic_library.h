// Loading a shared library at run time and finding a function in it.
//
// Names pass to the system unchanged: a name without a directory part is looked for along
// the system's own search order, a path is loaded from where it points.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The system's handle of a loaded library; null stands for none.
using library_handle = void*;

// The address of a function found in a library, to be cast to its real type by the caller;
// null when the library has no such export.
using library_function = void (*)();

// Loads the library; null when it cannot be loaded (missing file, not a library, a
// dependency missing). An empty name loads nothing.
library_handle load_library(const std::string& name);

// Loads the Java VM library at `path` as load_library does. Where the system looks for a
// library's dependencies only in the program's, the system's and the PATH folders (Windows),
// a load that fails because a dependency was not found, of a file that `path` names in a
// folder, is tried once more with the dependencies also looked for in the library's own
// folder and in the runtime's folder (see dependency_folders); the runtime's folder then
// stays in the search of every later load of the process, as the runtime's own native
// libraries need. The last error is that of the last attempt.
library_handle load_jvm_library(const std::string& path);

// A folder in which a library's dependencies are looked for.
struct library_folder {
    std::string path;
    bool system = false; // one of the system's own folders, whose libraries are the system's
};

// The folders, in order, in which load_jvm_library's second attempt looks for the
// dependencies of the library at `path`: its own folder; the runtime's folder (the parent
// of a "server" or "client" folder, where the JVM library of a Java runtime lives, else the
// library's own); the system's folders; the PATH. Empty where load_jvm_library makes no
// second attempt: on systems that find dependencies by other means (a Linux library's run
// path), or when `path` names no folder.
std::vector<library_folder> dependency_folders(const std::string& path);

// Looks up an exported function by name.
library_function find_function(library_handle library, const char* name);

// Releases one load of the library. A null handle is ignored.
void free_library(library_handle library);

// Why the last load_library or find_function on this thread failed, as the system words
// it (on Windows with the error code, e.g. "... (error 126)").
std::string library_error();

} // namespace platform
