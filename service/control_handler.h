#pragma once

#include <cstdint>

// Handles one control request, on the dispatcher's thread: a stop request (stop, shutdown,
// and preshutdown with a stop_timeout: see stop_requests.h) reports stop pending and starts
// the stop path on a thread of its own; a request to reopen the logs reopens them and has
// the current state reported again with a note; any other request has the current state
// reported again.
void control_handler(std::uint32_t control);

// After a start that failed with the Java VM up, on the calling thread: stops the Java
// side as a stop request would (stop pending reported, the stop watched and its progress
// reported with a stop_timeout, the stop path run). A stop request that comes meanwhile
// changes nothing.
void stop_failed_start();

// Waits for the stop path's thread, once it has set stop_event, so that nothing of it is
// left running when the process ends.
void join_stop_path();
