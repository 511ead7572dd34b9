// Ending the process at once.
#include "platform/process_exit.h"

#include <windows.h>

namespace platform {

// TerminateProcess, not ExitProcess: the process may end while other threads are anywhere
// (the Java VM half created, a stop method running), and ExitProcess would then run every
// DLL's detach code after those threads vanished, where a lock one of them held can hang
// it. Nothing is lost: every log write has gone to its file already.
void exit_process(std::uint32_t code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code); // only if the process could not be terminated
}

std::uint32_t status_after_service(std::uint32_t, std::uint32_t) {
    return 0;
}

// The service control manager has the service's result from the stopped report, whichever
// way the service ended: the process's status repeats only what the Java program chose.
std::uint32_t status_for_sudden_end(std::uint32_t exit_code, std::uint32_t specific) {
    return exit_code == ERROR_SERVICE_SPECIFIC_ERROR ? specific : 0;
}

} // namespace platform
