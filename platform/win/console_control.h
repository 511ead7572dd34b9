// The console dispatcher's side of the service calls on Windows: the service control
// manager's functions (service_control.cpp) hand over to these while a console run is
// under way.
#pragma once

#include "platform/service_control.h"

namespace platform {

// True from start_console_dispatcher on.
bool console_dispatcher_runs();

service_status_handle console_register_handler(control_handler_function handler);

// Writes the report's line and notes its state; true, since a console takes every line.
bool console_set_status(service_status_handle handle, const service_status& status);

// After the Java VM's creation, which registers a console handler of its own: puts the
// dispatcher's handler in front of it again.
void console_after_java_vm_created();

} // namespace platform
