// The command line on POSIX systems: the bytes as they came.
#include "platform/command_line.h"

namespace platform {

char** utf8_arguments(int& /*argc*/, char** argv) {
    return argv;
}

void show_utf8_on_console() {}

} // namespace platform
