// What the dispatchers of both systems share: the thread of the service's main function,
// and for a console run, the line that stands for a status report and what becomes of a
// stop request.
#pragma once

#include <cstdint>
#include <string>

#include "platform/service_control.h"

namespace platform {

// "orvo: STATE" with what the state carries, ending with CR LF as orvo's other lines do:
//   orvo: start pending (check-point 3, 59000 ms left)
//   orvo: running, logs reopened
//   orvo: stopped (exit code 1066, the Java program's status 3)
//   orvo: start pending (check-point 4, about 30000 ms more), loading the cache
// The check-point of a pending state is always given, the time left only where the wait
// hint is one (wait_hint_is_time_left), the program's estimate where it is that; the
// program's own words follow the state's.
std::string console_report_line(const service_status& status);

enum class stop_request_fate {
    take,   // the first: delivered once the service runs
    insist, // one more while the first waits or a stop is under way: the process ends at once
    drop,   // the service has stopped already
};

// The fate of a stop request that comes when `reported_state` is the state last reported
// and `taken_before` says whether one was taken already. A stop under way counts as taken,
// whatever began it (a failed start, a failed report).
stop_request_fate fate_of_stop_request(std::uint32_t reported_state, bool taken_before);

// Said when a stop request is taken while start is pending.
extern const char stop_held_line[];

// Runs `run_main` with the table's main function and name on a thread of its own and
// `dispatch` on the calling one, then waits for the thread; false, with the last-error
// code set, when no thread can be made.
bool run_main_and_dispatch(const service_table_entry* table,
                           void (*run_main)(service_main_function main, const char* name),
                           void (*dispatch)());

} // namespace platform
