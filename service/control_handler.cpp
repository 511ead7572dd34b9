#include "service/control_handler.h"

#include "platform/service_control.h"
#include "service/report_status.h"
#include "service/stop_path.h"

void control_handler(std::uint32_t control) {
    if (control == platform::service_control_stop ||
        control == platform::service_control_shutdown) {
        report_status(platform::service_stop_pending, 0, 1, 5000);
        run_stop_path();
        return;
    }
    // The service has no paused state: pause and continue change nothing.
    report_status(0, 0, 0, 0);
}
