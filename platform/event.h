// Events that one thread sets and another waits for.
#pragma once

namespace platform {

// Opaque; null when the event could not be created.
using event_handle = void*;

// An unnamed event, not set; once set it stays set. Null on failure, with the last-error
// code set.
event_handle create_event();
bool set_event(event_handle event);
// Waits without a time-out until the event is set.
void wait_for_event(event_handle event);
// Releases the event; the handle must not be used afterwards.
bool close_event(event_handle event);

} // namespace platform
