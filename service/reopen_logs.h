// Opening the log files again, on request, after they have been renamed (log rotation).
#pragma once

// Opens both logs again by their paths in the settings, by the rules of the start (append,
// created when missing, one file when both paths name it), and puts each in place of the
// standard stream it serves. A log that cannot be opened keeps the old one in place, and a
// line on standard error says so, with the system's reason. True when every log named in
// the settings was reopened. Where orvo writes the logs itself, its own threads do it, each
// between two lines of its log.
bool reopen_logs();
