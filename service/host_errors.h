// Lines the host writes about its own failures where an operator looks when no log can
// tell: the standard error the process was started with (the journal under systemd, the
// console when run by hand) and, on Windows, where a service has no console, the event log.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

// Writes the whole content of `line`, an "error: ..." line ending with CR LF, there.
void write_host_error(const std::ostringstream& line);

// Writes "error: couldn't WHAT: REASON." there, REASON the system's words for `error`, the
// code that the failed call left.
void write_host_failure(const std::string& what, std::uint32_t error);

// The same with REASON given as words (the system's, captured where the call failed).
void write_host_failure(const std::string& what, const std::string& reason);
