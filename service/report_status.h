#pragma once

#include <cstdint>
#include <string>

// A report that cannot be sent is said once: the first one writes "error: couldn't send a
// status report to the service manager: REASON." to the standard error the process was
// started with. The first end of the service counts, in every phase. Where no other end
// was under way, the failed report is the end: the stop path runs, and its error is what
// the service ends with (failed_report_error). Where one was (a stop requested, a start
// that failed, the Java VM's exit, a time limit), the failed report changes nothing of
// how the service ends, though the service manager may hear none of it.

// Reports `new_state` to the service manager, or current_state again when `new_state` is
// 0. False when the report could not be sent; the stop path has then run, and the
// last-error code is that of the failed report.
bool report_status(std::uint32_t new_state, std::uint32_t exit_code, std::uint32_t check_point,
                   std::uint32_t wait_hint);

// Reports stopped with these exit codes for a service that ends at once, from any thread:
// whatever happens, nothing else runs (no stop path). False when it could not be sent.
bool report_stopped_at_once(std::uint32_t exit_code, std::uint32_t specific);

// Reports stopped with these exit codes at the service's ordinary end, as report_status does.
bool report_stopped(std::uint32_t exit_code, std::uint32_t specific);

// While the service is in the pending `state`, reports it again with the next check-point
// and the `time_left` until its time limit, from any thread, without the stop path on a
// failure: a progress report comes while the stop path is under way. False when the
// service is in another state by now, or the report could not be sent.
bool report_more_progress(std::uint32_t state, std::uint32_t time_left);

// The same for the Java program (orvo.Service), on one of its threads: `wait_hint` is its
// estimate, or the time left until the limit (`time_left`) where that is less. A report
// that cannot be sent is said, and changes nothing of how the service ends.
bool report_program_progress(std::uint32_t state, std::uint32_t wait_hint, bool time_left);

// Keeps the Java program's one-line `text` for every later report (empty: none) and
// reports the current state again with it: with the check-point last reported while
// pending, asking for no more time. False once stopped, or when it could not be sent (the
// text is then not kept; the service goes on as for report_program_progress).
bool report_program_text(const std::string& text);

// Reports current_state again as report_status(0, 0, 0, 0) does, with `note` added to the
// words for people where the service manager shows them (the Linux STATUS= text).
bool report_current_state_noting(const char* note);

// While the service runs, reports it running again with `note`, unless the report sent
// last said just that: for news that may come often (a log rotated) and should be seen,
// not repeated. Says nothing in any other state. False as report_status.
bool report_running_noting(const char* note);

// Whether running has been reported: the service has started.
bool running_reported();

// Notes that the service's end is under way for a reason of its own, before that end
// sends any report.
void note_end_begun();

// The error of the report whose failure ended the service, or 0 when another end came
// first or every report went: the exit code of a service that was stopped because the
// service manager could not be told.
std::uint32_t failed_report_error();
