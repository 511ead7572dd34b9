// Deadlines for a slow start and a slow stop: the settings' start_timeout and stop_timeout.
//
// A watch runs on a thread of its own from the moment its time is counted until its end is
// noted. At the deadline it writes "error: start (or stop) did not complete within N ms."
// and ends the service at once with ERROR_SERVICE_REQUEST_TIMEOUT. While a stop is watched
// it reports progress, so that the service manager sees a stop that is still under way,
// never promising more time than is left. Without the settings nothing here reports or
// waits. Only one watch exists at a time: a stop is requested only once the start is over.
#pragma once

#include <cstdint>
#include <optional>

// At the start request: the moment from which start_timeout counts.
void note_start_requested();

// Once the settings are loaded: with a start_timeout, reports start pending with
// `check_point` and the time left as its wait hint, and watches the rest of the start.
// 0 when done; else the exit code the start fails with: the failed report's error, or
// exit_start_failed when no thread can watch the start (the line that says why written
// where the service manager looks).
std::uint32_t watch_start(std::uint32_t check_point);

// True when the settings give the stop a deadline.
bool has_stop_timeout();

// Whether the wait hint of a report of `state` is the time left until a limit of the
// settings: start pending once the settings are read (only then can they hold one), stop
// pending with a stop_timeout.
bool wait_hint_is_time_left(std::uint32_t state);

// The stop-pending report's wait hint: stop_timeout, or the usual 5000 ms without one.
std::uint32_t stop_wait_hint();

// At the stop request, before stop pending is reported with check-point 1: with a
// stop_timeout, watches the stop. When no thread can watch it, a line in the stderr log
// says that the stop goes on without its limit.
void watch_stop();

// Before running or stopped is reported: ends the watch. False when its deadline has
// passed: the watch is ending the process, and the caller must not go on.
bool end_watch();

// While a time limit of the settings watches the pending `state` (start or stop pending),
// the milliseconds left until its deadline (0 once it has passed); nothing otherwise.
std::optional<std::uint32_t> time_left_in(std::uint32_t state);
