// The service's own lines about the service (a log it could not reopen, a time limit that
// ran out), written as the Java host writes its own: one "error: " line ending with CR LF,
// in one write to standard error, which is the stderr log once the logs are open.
#pragma once

#include <cstdint>
#include <string>

// error: couldn't reopen log file "PATH": REASON; the old one stays in use.
void report_not_reopened(const std::string& path, const std::string& reason);
// That line, for a log that orvo writes itself and puts its own lines in between two lines.
std::string not_reopened_line(const std::string& path, const std::string& reason);

// error: WHAT did not complete within LIMIT ms.
void report_deadline(const char* what, std::uint32_t limit);

// error: couldn't watch the WHAT's time limit: REASON; it goes on without one.
void report_not_watched(const char* what, const std::string& reason);

// error: the Java VM exited with status 0 before the service was running.
void report_vm_exited_before_running();

// error: the Java program asked for a stop with exit code N[ before the service was running].
void report_stop_asked(std::uint32_t exit_code, bool before_running);
