// Loading a shared library at run time and finding a function in it.
//
// Names pass to the system unchanged: a name without a directory part is looked for along
// the system's own search order, a path is loaded from where it points.
#pragma once

#include <string>

namespace platform {

// The system's handle of a loaded library; null stands for none.
using library_handle = void*;

// The address of a function found in a library, to be cast to its real type by the caller;
// null when the library has no such export.
using library_function = void (*)();

// Loads the library; null when it cannot be loaded (missing file, not a library, a
// dependency missing). An empty name loads nothing.
library_handle load_library(const std::string& name);

// Looks up an exported function by name.
library_function find_function(library_handle library, const char* name);

// Releases one load of the library. A null handle is ignored.
void free_library(library_handle library);

// Why the last load_library or find_function on this thread failed, as the system words
// it (on Windows with the error code, e.g. "... (error 126)").
std::string library_error();

} // namespace platform
