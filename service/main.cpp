// The process entry: hands the one service "orvo" to the service manager's dispatcher, or,
// with --console, to the console's.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/command_line.h"
#include "platform/control_signals.h"
#include "platform/last_error.h"
#include "platform/malloc_arenas.h"
#include "platform/process_exit.h"
#include "platform/service_control.h"
#include "platform/standard_error.h"
#include "service/command_line.h"
#include "service/exit_codes.h"
#include "service/host_errors.h"
#include "service/program_requests.h"
#include "service/save_arguments.h"
#include "service/service_end.h"
#include "service/service_globals.h"
#include "service/service_main.h"

namespace {

// Runs the service with the console's dispatcher; the process's exit status.
int run_in_a_console(const platform::service_table_entry* table) {
    run_in_console = true;
    if (platform::start_console_dispatcher(table, end_on_insistence)) {
        return static_cast<int>(process_status_at_end());
    }
    const std::uint32_t error = failed_start_code(platform::last_error());
    write_host_failure("take stop requests from the console", platform::last_error_text());
    return static_cast<int>(process_status_for(error, 0));
}

} // namespace

int main(int argc, char** argv) {
    // Before any other thread exists, so that every later one inherits it.
    platform::keep_vm_signals_away();
    platform::keep_initial_standard_error();
    platform::limit_malloc_arenas();
    argv = platform::utf8_arguments(argc, argv);
    const run_mode mode = mode_of(argc, argv);
    if (mode == run_mode::help || mode == run_mode::version) {
        mode == run_mode::help ? print_usage() : print_version();
        return 0;
    }
    // In a console the settings file follows the option: the service sees the command line
    // that a service manager would have given it.
    std::vector<char*> arguments(argv, argv + argc);
    if (mode == run_mode::console) {
        arguments.erase(arguments.begin() + 1);
    }
    saved_argc = static_cast<int>(arguments.size());
    const platform::service_table_entry table[] = {
        {service_name, service_main},
        {nullptr, nullptr},
    };
    save_arguments(saved_argc, arguments.data());
    install_vm_end_handlers();
    install_program_requests();
    if (mode == run_mode::console) {
        return run_in_a_console(table);
    }
    if (platform::start_service_dispatcher(table)) {
        // Under systemd the service's result is the process's exit status.
        return static_cast<int>(process_status_at_end());
    }
    // Read before printing, which may change it.
    const std::uint32_t error = platform::last_error();
    std::printf("Error: StartServiceCtrlDispatcher");
    // The process ends without the runtime's exit handlers, which would flush this.
    std::fflush(stdout);
    print_start_hint();
    platform::exit_process(error);
}
