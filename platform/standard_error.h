// Writing orvo's own lines to the process's standard error as it is at the moment of the
// call: after the service has pointed standard error at its log file, that file.
#pragma once

#include <cstddef>

#include "platform/standard_handles.h"

namespace platform {

// One write of the line of `size` bytes, unbuffered and unconverted. Where standard error
// is a regular file whose last byte is not a line end (the Java program left a line
// unfinished), a CR LF goes first, in the same write where the line is short, so that
// the line begins a line of its own; a console, a pipe or the journal gets the line as it
// is. Whether it succeeds is not reported; the thread's last error code (errno) is left
// as it was before the call, so that a diagnostic written about a failure does not hide
// that failure's code. Never ends the process (a pipe without reader), and may be called
// in a signal handler.
void write_standard_error(const char* data, std::size_t size);

// Whether `file` is a regular (disk) file whose last byte is not a line end. Safe in a
// signal handler.
bool ends_mid_line(file_handle file);

#ifdef _WIN32
// Where standard error is a pipe that orvo drains into the stderr log itself (Windows,
// with rotation), whether that log, once everything written before has reached it, ends
// within a line: asked before each line of orvo's in place of a look at the file, which
// lags behind the pipe. Null (the first state): no such pipe.
using captured_line_query = bool (*)();
void set_captured_line_query(captured_line_query query);
#endif

// Keeps hold of standard error as the process found it, before the service points it at a
// log: the service manager's own (the journal under systemd). Call it first in main.
void keep_initial_standard_error();

// write_standard_error, to the standard error that keep_initial_standard_error kept (where
// nothing was kept, the current one; where there was none to keep, nowhere).
void write_initial_standard_error(const char* data, std::size_t size);

// Whether standard output and standard error are one stream as the process found them
// (one terminal or console, one file), so that what is written to both interleaves.
bool standard_output_is_standard_error();

} // namespace platform
