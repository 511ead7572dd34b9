#pragma once

#include <cstdint>

// Every report that cannot be sent is a failure of the service: the first one writes
// "error: couldn't send a status report to the service manager: REASON." to the standard
// error the process was started with, and its error is what the service ends with
// (failed_report_error).

// Reports `new_state` to the service manager, or current_state again when `new_state` is
// 0. False when the report could not be sent; the stop path has then run, and the
// last-error code is that of the failed report.
bool report_status(std::uint32_t new_state, std::uint32_t exit_code, std::uint32_t check_point,
                   std::uint32_t wait_hint);

// Reports stopped with these exit codes for a service that ends at once, from any thread:
// whatever happens, nothing else runs (no stop path). False when it could not be sent.
bool report_stopped_at_once(std::uint32_t exit_code, std::uint32_t specific);

// Reports `new_state` with this progress, from any thread, without the stop path on a
// failure: a progress report comes while the stop path is under way.
void report_progress(std::uint32_t new_state, std::uint32_t check_point, std::uint32_t wait_hint);

// Reports current_state again as report_status(0, 0, 0, 0) does, with `note` added to the
// words for people where the service manager shows them (the Linux STATUS= text).
bool report_current_state_noting(const char* note);

// While the service runs, reports it running again with `note`, unless the report sent
// last said just that: for news that may come often (a log rotated) and should be seen,
// not repeated. Says nothing in any other state. False as report_status.
bool report_running_noting(const char* note);

// The error of the first report that could not be sent, or 0 when every report went: the
// exit code of a service that was stopped because the service manager could not be told.
std::uint32_t failed_report_error();
