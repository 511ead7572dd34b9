// The program's own sigaction(), which the Java VM's library binds to in orvo: see
// signal_hold.cpp.
#pragma once

#include <signal.h>

namespace platform {

// sigaction(signal, action, previous) as the program exports it: the control signals kept
// from the Java VM while it is created, the suspend-resume handler behind its filter, and
// the C library's sigaction for everything else.
int program_sigaction(int signal, const struct sigaction* action, struct sigaction* previous);

} // namespace platform
