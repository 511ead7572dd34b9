// Telling the system's event log about the host's own failures.
//
// A Windows service has no console: a line that the host writes before its logs are open
// (the settings cannot be loaded, a log cannot be opened) would reach nobody. Such lines
// also go to the Application event log, under the source "orvo", where an operator looks
// first. Under systemd the standard error the process was started with is the journal
// already, so nothing more is done there.
#pragma once

#include <string>

namespace platform {

// The source's name, one for every orvo service of the system.
constexpr char event_source_name[] = "orvo";

// Reports `line` (an "error: ..." line; a final CR LF is dropped) as an error event.
// Whether it was recorded is not reported, and the thread's last error is kept.
void report_error_event(const std::string& line);

} // namespace platform
