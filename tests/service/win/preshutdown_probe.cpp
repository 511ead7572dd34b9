// Linked with orvo.exe's own main() into a program that is orvo.exe with one addition for
// the tests: neither Windows nor Wine lets a program send a service the preshutdown
// control, so this one hands it to the control handler itself, on a thread of its own as
// the dispatcher would, once the event "orvo-test-preshutdown" is set.
#include <windows.h>

#include <thread>

#include "platform/service_control.h"
#include "service/control_handler.h"

namespace {

struct preshutdown_on_request {
    preshutdown_on_request() {
        const HANDLE requested = CreateEventA(nullptr, TRUE, FALSE, "orvo-test-preshutdown");
        std::thread([requested] {
            WaitForSingleObject(requested, INFINITE);
            control_handler(platform::service_control_preshutdown);
        }).detach();
    }
};

const preshutdown_on_request preshutdown;

} // namespace
