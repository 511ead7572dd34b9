#pragma once

#include <cstdint>

// Handles one control request, on the dispatcher's thread: stop and shutdown report stop
// pending and start the stop path on a thread of its own; a request to reopen the logs
// reopens them and has the current state reported again with a note; any other request
// has the current state reported again.
void control_handler(std::uint32_t control);

// Waits for the stop path's thread, once it has set stop_event, so that nothing of it is
// left running when the process ends.
void join_stop_path();
