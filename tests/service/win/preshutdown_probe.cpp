// orvo.exe with one addition for the tests: neither Windows nor Wine lets a program send a
// service the preshutdown control, so this one hands it to the control handler itself,
// on a thread of its own as the dispatcher would, once the event "orvo-test-preshutdown"
// is set.
#include <windows.h>

#include <thread>

#include "platform/service_control.h"
#include "service/control_handler.h"
#include "service/save_arguments.h"
#include "service/service_end.h"
#include "service/service_globals.h"
#include "service/service_main.h"

int main(int argc, char** argv) {
    const HANDLE preshutdown = CreateEventA(nullptr, TRUE, FALSE, "orvo-test-preshutdown");
    std::thread([preshutdown] {
        WaitForSingleObject(preshutdown, INFINITE);
        control_handler(platform::service_control_preshutdown);
    }).detach();
    saved_argc = argc;
    const platform::service_table_entry table[] = {
        {service_name, service_main},
        {nullptr, nullptr},
    };
    save_arguments(argc, argv);
    install_vm_end_handlers();
    return platform::start_service_dispatcher(table) ? 0 : 1;
}
