// How control requests reach the dispatcher under systemd: SIGTERM and SIGINT ask to stop,
// SIGHUP to interrogate, SIGUSR1 to reopen the logs. Their handler writes the signal's
// number to a pipe that the dispatcher's thread reads.
#pragma once

#include <csignal>
#include <string>

namespace platform {

// The signals that carry control requests, each handled by writing its number to the
// pipe; the Java VM must not take them over while it is created (signal_hold.cpp), nor
// keep handlers of its own for them afterwards (control_signals.cpp).
constexpr int control_signal_numbers[] = {SIGTERM, SIGINT, SIGHUP, SIGUSR1};

// A byte in the pipe that is no signal's number: it only wakes the dispatcher.
constexpr unsigned char wake_byte = 0;

// Opens the pipe and installs the handlers. False, with errno set, on failure.
bool open_control_requests();

// Writes one byte to the pipe; safe in a signal handler.
void write_control_byte(unsigned char byte);

// Waits for what arrives in the pipe; empty when the pipe has failed.
std::string read_control_bytes();

} // namespace platform
