// Ending the process on POSIX systems.
#include "platform/process_exit.h"

#include <unistd.h>

namespace platform {

void exit_process(std::uint32_t code) {
    _exit(static_cast<int>(code));
}

} // namespace platform
