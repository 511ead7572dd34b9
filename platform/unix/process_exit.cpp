// Ending the process at once on POSIX systems. The exit status keeps the code's low
// eight bits, as the shell reports it.
#include "platform/process_exit.h"

#include <unistd.h>

namespace platform {

void exit_process(std::uint32_t code) {
    _exit(static_cast<int>(code));
}

} // namespace platform
