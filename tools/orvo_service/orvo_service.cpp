// orvo-service: installs a service that runs orvo.exe on a settings file, with the least
// privilege by default, keeps it as asked (apply), and removes or shows one. Windows only.
#include <iostream>
#include <string>

#include "platform/command_line.h"
#include "tools/orvo_service/service_actions.h"
#include "tools/orvo_service/service_command.h"
#include "tools/orvo_service/service_output.h"

int main(int argc, char** argv) {
    argv = platform::utf8_arguments(argc, argv);
    platform::show_utf8_on_console();
    service_command command;
    std::string problem;
    if (!parse_service_command(argc, argv, command, problem)) {
        if (wants_json(argc, argv)) {
            speak_json();
            say_error(problem);
            print_json_error();
        } else {
            std::cerr << "orvo-service: " << problem << '\n' << service_usage;
        }
        return 2;
    }
    if (command.json) {
        speak_json();
    }
    switch (command.what) {
    case service_command::action::install:
        return install_service(command.install);
    case service_command::action::apply:
        return apply_service(command.install, command.check);
    case service_command::action::remove:
        return remove_service(command.install.name, command.kill);
    case service_command::action::show:
        return show_service(command.install.name, command.json);
    default:
        std::cout << service_usage;
        return 0;
    }
}
