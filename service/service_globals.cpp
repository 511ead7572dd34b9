#include "service/service_globals.h"

int saved_argc = 0;
char** saved_argv = nullptr;
platform::service_status_handle status_handle = nullptr;
std::atomic<std::uint32_t> current_state{platform::service_stopped};
platform::event_handle stop_event = nullptr;
bool run_in_console = false;
