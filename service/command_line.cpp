#include "service/command_line.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/standard_error.h"

namespace {

#ifdef _WIN32
const char run_as_service[] = "install it as a service (orvo-service install NAME SETTINGS_FILE)";
#else
const char run_as_service[] = "run it as a systemd service of Type=notify (see orvo(1))";
#endif

} // namespace

run_mode mode_of(int argc, char** argv) {
    if (argc < 2) {
        return run_mode::service;
    }
    if (std::strcmp(argv[1], "--console") == 0) {
        return run_mode::console;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        return run_mode::help;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        return run_mode::version;
    }
    return run_mode::service;
}

void print_usage() {
    std::printf(
        "usage: orvo SETTINGS_FILE\n"
        "       orvo --console SETTINGS_FILE\n"
        "       orvo --help | --version\n"
        "\n"
        "Runs the Java server that SETTINGS_FILE names as a service: started by a service\n"
        "manager, orvo reports its state to it and stops the server when asked to.\n"
        "\n"
        "--console  the same start, run and stop without a service manager, in a console or\n"
        "           as a container's entry point: each report is a line \"orvo: STATE\" on\n"
        "           standard error; Ctrl-C or SIGTERM stops the server, a second one ends\n"
        "           orvo at once. A log path of \"-\" leaves that stream on the console.\n"
        "\n"
        "orvo-check SETTINGS_FILE checks the settings first.\n");
}

void print_version() {
    std::printf("orvo %s\n", ORVO_VERSION);
}

void print_start_hint() {
    std::string line = platform::standard_output_is_standard_error() ? "\r\n" : "";
    line += std::string("orvo: not started by a service manager: ") + run_as_service +
            ", or run it by hand with orvo --console SETTINGS_FILE\r\n";
    platform::write_standard_error(line.data(), line.size());
}
