// Ending the process at once.
#include "platform/process_exit.h"

#include <windows.h>

namespace platform {

void exit_process(std::uint32_t code) {
    ExitProcess(code);
}

} // namespace platform
