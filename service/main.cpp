// The process entry: hands the one service "orvo" to the service manager's dispatcher.
#include <cstdint>
#include <cstdio>

#include "platform/command_line.h"
#include "platform/control_signals.h"
#include "platform/last_error.h"
#include "platform/malloc_arenas.h"
#include "platform/process_exit.h"
#include "platform/service_control.h"
#include "platform/standard_error.h"
#include "service/save_arguments.h"
#include "service/service_end.h"
#include "service/service_globals.h"
#include "service/service_main.h"

int main(int argc, char** argv) {
    // Before any other thread exists, so that every later one inherits it.
    platform::keep_vm_signals_away();
    platform::keep_initial_standard_error();
    platform::limit_malloc_arenas();
    argv = platform::utf8_arguments(argc, argv);
    saved_argc = argc;
    const platform::service_table_entry table[] = {
        {service_name, service_main},
        {nullptr, nullptr},
    };
    save_arguments(argc, argv);
    install_vm_end_handlers();
    if (platform::start_service_dispatcher(table)) {
        // Under systemd the service's result is the process's exit status.
        return static_cast<int>(process_status_at_end());
    }
    // Read before printing, which may change it.
    const std::uint32_t error = platform::last_error();
    std::printf("Error: StartServiceCtrlDispatcher");
    // The process ends without the runtime's exit handlers, which would flush this.
    std::fflush(stdout);
    platform::exit_process(error);
}
