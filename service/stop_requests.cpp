#include "service/stop_requests.h"

#include "platform/service_control.h"
#include "service/time_limits.h"

namespace {

// Without a stop_timeout the service's reports stay as they have always been.
bool accepts_preshutdown() {
    return platform::preshutdown_delivered && has_stop_timeout();
}

} // namespace

bool is_stop_request(std::uint32_t control) {
    return control == platform::service_control_stop ||
           control == platform::service_control_shutdown ||
           (control == platform::service_control_preshutdown && accepts_preshutdown());
}

std::uint32_t controls_when_started() {
    return platform::service_accept_stop | platform::service_accept_pause_continue |
           platform::service_accept_shutdown |
           (accepts_preshutdown() ? platform::service_accept_preshutdown : 0);
}
