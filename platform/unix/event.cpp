// Events on POSIX systems: a flag under a mutex, waited for through a condition variable.
#include "platform/event.h"

#include <condition_variable>
#include <mutex>
#include <new>

#include "platform/last_error.h"

namespace platform {

namespace {

struct posix_event {
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
};

constexpr std::uint32_t error_not_enough_memory = 8;

} // namespace

event_handle create_event() {
    auto* event = new (std::nothrow) posix_event;
    if (event == nullptr) {
        set_last_error(error_not_enough_memory, "not enough memory");
    }
    return event;
}

bool set_event(event_handle handle) {
    auto* event = static_cast<posix_event*>(handle);
    {
        std::lock_guard<std::mutex> hold(event->lock);
        event->set = true;
    }
    event->changed.notify_all();
    return true;
}

void wait_for_event(event_handle handle) {
    auto* event = static_cast<posix_event*>(handle);
    std::unique_lock<std::mutex> hold(event->lock);
    event->changed.wait(hold, [event] { return event->set; });
}

bool close_event(event_handle handle) {
    delete static_cast<posix_event*>(handle);
    return true;
}

} // namespace platform
