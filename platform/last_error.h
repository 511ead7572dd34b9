// The calling thread's last-error code, as the system's calls leave it.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

std::uint32_t last_error();
void set_last_error(std::uint32_t code);

// Sets a code that the platform layer makes itself where the system has none of the kind
// the caller expects (on Linux, the Windows codes its stand-ins for the service control
// manager's calls fail with), with the words for it: error_text would read such a code as
// a system error and name another failure.
void set_last_error(std::uint32_t code, const char* words);

// The words for the calling thread's last error, as whoever set it meant it: those given
// with set_last_error(code, words), else the system's (error_text). Read it right where a
// call failed, before another call can change the code.
std::string last_error_text();

// The system's own words for an error code that a failed system call left (an errno value
// on POSIX systems, a Windows error code on Windows), without a final period, so that a
// line can end with its own: "No such file or directory", "Access is denied".
std::string error_text(std::uint32_t code);

// The exit code with which the service reports a failure whose system error is `code`:
// the code itself where the system's error codes are the service manager's (Windows),
// elsewhere `fallback`, the Windows code that names that kind of failure.
std::uint32_t service_exit_code_for(std::uint32_t code, std::uint32_t fallback);

} // namespace platform
