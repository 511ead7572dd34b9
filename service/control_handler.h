#pragma once

#include <cstdint>

// Handles one control request, on the dispatcher's thread: stop and shutdown report stop
// pending and run the stop path; any other request has the current state reported again.
void control_handler(std::uint32_t control);
