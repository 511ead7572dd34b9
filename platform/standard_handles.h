// The log files that become the process's standard output and standard error.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A file open for writing: a Windows file handle or a POSIX descriptor.
using file_handle = std::intptr_t;
constexpr file_handle invalid_file_handle = -1;

// Opens `path` for writing, creating it when missing, with others allowed to read it (on
// Windows also to write, rename and delete it). invalid_file_handle when it cannot be opened, with
// the last-error code set to the system's error (on POSIX systems errno; a named pipe without a
// reader cannot be opened, ENXIO, since waiting for one would hold the start for ever).
file_handle open_log_file(const std::string& path);

// Moves the file's write position to its end.
void move_to_end(file_handle file);

// True when `path` names the file that `file` has open.
bool names_open_file(const std::string& path, file_handle file);

enum class standard_stream { output, error };

// Makes `file` the process's standard output or error, where the C runtime and the Java
// VM write. An invalid handle loses what is written there. Where the standard handle is a
// copy of `file` (POSIX), one that replaces an earlier file does so in one step for the
// writers, and the earlier file is closed unless the other stream has it too.
void set_standard_handle(standard_stream stream, file_handle file);

// The process's standard output or error as it is now: where the Java VM writes (POSIX:
// descriptor 1 or 2 itself).
file_handle standard_handle(standard_stream stream);

} // namespace platform
