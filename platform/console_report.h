// The line that stands for a status report when the service runs in a console.
#pragma once

#include <string>

#include "platform/service_control.h"

namespace platform {

// "orvo: STATE" with what the state carries, ending with CR LF as orvo's other lines do:
//   orvo: start pending (check-point 3, 59000 ms left)
//   orvo: running, logs reopened
//   orvo: stopped (exit code 1066, the Java program's status 3)
// The check-point of a pending state is always given, the time left only where the wait
// hint is one (wait_hint_is_time_left).
std::string console_report_line(const service_status& status);

} // namespace platform
