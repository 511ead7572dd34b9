// The process's current directory, against which the system resolves relative paths.
#pragma once

#include <string>

namespace platform {

// Makes `path` the current directory. False when it cannot be entered (missing, not a
// folder, no permission), with the last-error code set to the system's error (errno on
// POSIX systems).
bool change_directory(const std::string& path);

} // namespace platform
