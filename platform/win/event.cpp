// Events: the system's unnamed event objects.
#include "platform/event.h"

#include <windows.h>

namespace platform {

// Manual reset, not set: the one waiter and everything after it see it set.
event_handle create_event() {
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

bool set_event(event_handle event) {
    return SetEvent(event) != FALSE;
}

void wait_for_event(event_handle event) {
    WaitForSingleObject(event, INFINITE);
}

bool close_event(event_handle event) {
    return CloseHandle(event) != FALSE;
}

} // namespace platform
