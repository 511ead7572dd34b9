// Reports its one argument, with a line end, as the host reports its own failures: under
// WINEDEBUG=err+eventlog Wine prints on its debug channel what reached ReportEvent.
#include <string>

#include "platform/command_line.h"
#include "platform/event_log.h"

int main(int argc, char** argv) {
    argv = platform::utf8_arguments(argc, argv);
    if (argc != 2) {
        return 2;
    }
    platform::report_error_event(std::string(argv[1]) + "\r\n");
    return 0;
}
