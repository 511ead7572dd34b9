// The two logs as the process's standard output and error: installed by the start, kept
// within the settings' rotation while the process lives, reopened on request, and, where
// orvo writes them itself, drained before the process ends.
//
// Two mechanisms, one per kind of system. Where the Java VM's standard streams can be
// moved under it (Linux: dup2), it writes the files itself, and a thread of orvo's looks at
// their sizes and the clock and puts new files in place (log_watch.cpp). Where it keeps the
// handles it found for ever (Windows), a rotation asks for the streams to be pipes that
// orvo drains into the files, rotating them between two lines (log_pump.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "platform/standard_handles.h"
#include "service/log_rotation.h"

// Makes `log`, the file open at `path`, the standard stream `stream` (invalid_file_handle:
// that stream's output is discarded). Where orvo writes the logs and `rules` rotate them,
// the stream becomes a pipe that orvo drains into the file; a file that both streams name
// is handed in twice, and drained once. False, with the last-error code set, when the pipe
// cannot be made.
bool install_log(platform::standard_stream stream, platform::file_handle log,
                 const std::string& path, const rotation_rules& rules);

// Once both logs are installed, where the program writes the files itself: starts keeping
// them within `rules`. False, with the last-error code set, when its thread cannot start.
bool start_log_rotation(const rotation_rules& rules);

// Whether a request to reopen the logs (SIGUSR1, control 128) can be carried out: always
// where the program writes the files itself; where orvo writes them, when it does (the
// settings rotate them).
bool logs_reopen_on_request();

// Where orvo writes the logs: opens both again by their paths, between two lines of each,
// and says why where one cannot be (reopen_logs does the rest).
bool logs_captured();
bool reopen_captured_logs();

// Holds the standard streams still while reopen_logs changes them; once released, the
// rotation goes on with the files then in place, as new ones.
class logs_held {
  public:
    logs_held();
    ~logs_held();
    logs_held(const logs_held&) = delete;
    logs_held& operator=(const logs_held&) = delete;
};

// Returns once everything written to the standard streams before the call is in the log
// files, or after a few seconds when a log cannot take it; at once where the program
// writes the files itself. For every way the process ends; any thread.
void drain_logs();

// Drains the logs and stops rotating them, before the process ends normally.
void end_logs();
