// Lines the host writes about its own failures where an operator looks when no log can
// tell: the standard error the process was started with (the journal under systemd, the
// console when run by hand) and, on Windows, where a service has no console, the event log.
#pragma once

#include <sstream>

// Writes the whole content of `line`, an "error: ..." line ending with CR LF, there.
void write_host_error(const std::ostringstream& line);
