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

} // namespace platform
