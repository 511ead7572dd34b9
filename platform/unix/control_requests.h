// How stop and interrogate requests reach the dispatcher under systemd: SIGTERM and
// SIGINT ask to stop, SIGHUP to interrogate. Their handlers write the signal's number to
// a pipe that the dispatcher's thread reads.
#pragma once

#include <string>

namespace platform {

// Bytes in the pipe besides signal numbers.
constexpr unsigned char wake_byte = 0;       // only wakes the dispatcher
constexpr unsigned char hold_byte = 0xfe;    // the dispatcher's thread is to block the signals
constexpr unsigned char release_byte = 0xfd; // ... and may take them again

// Opens the pipe and installs the handlers; false, with errno set, on failure.
bool open_control_requests();

// Writes one byte to the pipe; safe in a signal handler.
void write_control_byte(unsigned char byte);

// Waits for what arrives in the pipe; empty when the pipe has failed.
std::string read_control_bytes();

// The dispatcher's side of a hold: block the signals on its thread and say so, or take
// them again.
void hold_on_dispatcher_thread();
void release_on_dispatcher_thread();

} // namespace platform
