// The service control manager's calls (advapi32).
#include "platform/service_control.h"

#include <windows.h>

#include "platform/win/console_control.h"

namespace platform {

namespace {

// One service runs in this process; these carry its functions to the forms that the
// service control manager calls.
service_main_function registered_main = nullptr;
control_handler_function registered_handler = nullptr;

void WINAPI run_service_main(DWORD argc, LPSTR* argv) {
    registered_main(argc, argv);
}

// The extended form, the one that receives SERVICE_CONTROL_PRESHUTDOWN. Every control is
// taken as the plain handler takes it: answered with NO_ERROR, its reports sent by the
// handler itself.
DWORD WINAPI run_control_handler(DWORD control, DWORD /*event_type*/, LPVOID /*event_data*/,
                                 LPVOID /*context*/) {
    registered_handler(control);
    return NO_ERROR;
}

} // namespace

bool start_service_dispatcher(const service_table_entry* table) {
    if (table == nullptr || table[0].name == nullptr || table[0].main == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    registered_main = table[0].main;
    SERVICE_TABLE_ENTRYA entries[] = {
        {const_cast<LPSTR>(table[0].name), run_service_main},
        {nullptr, nullptr},
    };
    return StartServiceCtrlDispatcherA(entries) != FALSE;
}

service_status_handle register_control_handler(const char* name, control_handler_function handler) {
    if (console_dispatcher_runs()) {
        return console_register_handler(handler);
    }
    registered_handler = handler;
    return RegisterServiceCtrlHandlerExA(name, run_control_handler, nullptr);
}

bool set_service_status(service_status_handle handle, const service_status& status) {
    if (console_dispatcher_runs()) {
        return console_set_status(handle, status);
    }
    SERVICE_STATUS sent{status.service_type,     status.current_state,
                        status.controls_accepted, status.win32_exit_code,
                        status.service_specific_exit_code, status.check_point,
                        status.wait_hint};
    return SetServiceStatus(static_cast<SERVICE_STATUS_HANDLE>(handle), &sent) != FALSE;
}

void hold_control_requests() {}

void release_control_requests() {
    console_after_java_vm_created();
}

} // namespace platform
