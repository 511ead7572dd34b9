// Keeping requests from other processes away from the Java VM's suspend-resume handler.
//
// The Java VM suspends and resumes its own threads by sending each one its suspend-resume
// signal (SIGUSR2 unless _JAVA_SR_SIGNUM chose another) with pthread_kill. Its handler
// takes every such signal for a request of its own: one sent to the process from outside
// (kill -USR2) lands on a thread the VM may not know yet, or one that is not suspended,
// and crashes the VM. The program's sigaction() (signal_hold.cpp) therefore installs a
// filter in place of the VM's handler that passes on only the requests that this process
// sent to one of its threads, and tells whoever asks that the VM's handler is installed.
#pragma once

#include <signal.h>

namespace platform {

using sigaction_function = int (*)(int, const struct sigaction*, struct sigaction*);

// The suspend-resume signal, as the Java VM will read it from the environment: as the
// environment was at the last read_suspend_resume_signal (the first call reads it).
int suspend_resume_signal();

// Reads the suspend-resume signal from the environment as it is now, and returns it.
int read_suspend_resume_signal();

// For sigaction(signal, action, previous): when `signal` is the suspend-resume signal,
// carries the call out through `next` with the filter in place of a handler and the VM's
// handler in place of the filter, stores sigaction's result in `result` and returns true;
// otherwise returns false and does nothing.
bool sigaction_through_filter(int signal, const struct sigaction* action,
                              struct sigaction* previous, sigaction_function next, int& result);

} // namespace platform
