#pragma once

#include <cstdint>

// Handles one control request, on the dispatcher's thread: a stop request (stop, shutdown,
// and preshutdown with a stop_timeout: see stop_requests.h) reports stop pending and starts
// the stop path on a thread of its own; a request to reopen the logs reopens them and has
// the current state reported again with a note; any other request has the current state
// reported again.
void control_handler(std::uint32_t control);

// On the service thread: after a start that failed with the Java VM up, or once running
// has been reported for a stop that the Java program asked for before that report, stops
// the Java side as a stop request would (stop pending reported, the stop watched and its
// progress reported with a stop_timeout, the stop path run). Nothing when a stop is under
// way already; a stop request that comes meanwhile changes nothing.
void stop_on_service_thread();

// A stop that the Java program asked for while the service runs, on a Java thread: begins
// the stop as a stop request would, on a thread of its own (never the caller's: it may be
// the start method's, or one that the stop method waits for), and returns at once. False
// when a stop is under way already (nothing changes), or no thread can be made for it.
bool stop_on_program_request();

// Waits for the stop path's thread, once it has set stop_event, so that nothing of it is
// left running when the process ends.
void join_stop_path();
