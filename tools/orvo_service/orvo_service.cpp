// orvo-service: installs a service that runs orvo.exe on a settings file, with the least
// privilege by default, and removes or shows one. Windows only.
#include <iostream>
#include <string>

#include "platform/command_line.h"
#include "tools/orvo_service/service_actions.h"
#include "tools/orvo_service/service_command.h"

int main(int argc, char** argv) {
    argv = platform::utf8_arguments(argc, argv);
    platform::show_utf8_on_console();
    service_command command;
    std::string problem;
    if (!parse_service_command(argc, argv, command, problem)) {
        std::cerr << "orvo-service: " << problem << '\n' << service_usage;
        return 2;
    }
    switch (command.what) {
    case service_command::action::install:
        return install_service(command.install);
    case service_command::action::remove:
        return remove_service(command.install.name);
    case service_command::action::show:
        return show_service(command.install.name);
    default:
        std::cout << service_usage;
        return 0;
    }
}
