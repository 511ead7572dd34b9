// The log files as their rotation handles them: renamed, removed, measured and written.
// Each call reports its failure as the system's error code (an errno value on POSIX
// systems, a Windows error code on Windows), 0 for success; none of them touches the
// thread's last-error code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/standard_handles.h"

namespace platform {

// Gives the file at `from` the name `to`, in one step, while it may be open. Fails when a
// file already has the name `to`, rather than replacing it.
std::uint32_t rename_file(const std::string& from, const std::string& to);

// Deletes the file at `path`, while it may be open (a Windows file is then deleted once
// its last handle is closed).
std::uint32_t remove_file(const std::string& path);

// The size of the open file `file`; false when it cannot be learnt.
bool file_size(file_handle file, std::uint64_t& size);

// Whether `file` is a file of a disk's file system, which can be renamed and grows as it
// is written: not a pipe, a terminal, a socket or a device.
bool is_disk_file(file_handle file);

// Whether the open file `file` has lost its every name: deleted, or its folder removed
// with it. Writes to it succeed, and are lost.
bool file_deleted(file_handle file);

// The error that says of such a file why what went there is lost (the system's "no such
// file").
std::uint32_t deleted_file_error();

// Writes `size` bytes at `file`'s position (its end, for a file opened to append) and
// returns how many were written; `error` is set when that is fewer.
std::size_t write_file(file_handle file, const char* data, std::size_t size, std::uint32_t& error);

void close_file(file_handle file);

} // namespace platform
