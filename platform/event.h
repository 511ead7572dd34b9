// Events that one thread sets and another waits for.
#pragma once

namespace platform {

// Opaque; null when the event could not be created.
using event_handle = void*;

// An unnamed event, reset by hand once set when `manual_reset`, otherwise by the one
// wait it releases. Null on failure, with the last-error code set.
event_handle create_event(bool manual_reset, bool initially_set);
bool set_event(event_handle event);
// Waits without a time-out until the event is set.
void wait_for_event(event_handle event);
// Releases the event; the handle must not be used afterwards.
bool close_event(event_handle event);

} // namespace platform
