// The service host's process-wide values.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/event.h"
#include "platform/service_control.h"

// The command line as main() received it: the count, and heap copies of the arguments
// (entry 1 is the settings file's path). Freed by cleanup_service().
extern int saved_argc;
extern char** saved_argv;

// What the handler registration returned; null until then, and when it failed.
extern platform::service_status_handle status_handle;

// The last state reported by name. Both the service thread and the control handler's
// thread report, so it is atomic.
extern std::atomic<std::uint32_t> current_state;

// Set by the stop path to release service_main() from its wait; null until created.
extern platform::event_handle stop_event;

// Set by main() for a run in a console (--console), before the dispatcher starts: no service
// manager reads the reports, so the process's exit status and standard error tell it all.
extern bool run_in_console;

// The service's name under the service manager.
constexpr const char service_name[] = "orvo";
