// Events: the system's unnamed event objects.
#include "platform/event.h"

#include <windows.h>

namespace platform {

event_handle create_event(bool manual_reset, bool initially_set) {
    return CreateEventA(nullptr, manual_reset ? TRUE : FALSE, initially_set ? TRUE : FALSE,
                        nullptr);
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
