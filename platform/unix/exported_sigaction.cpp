// The sigaction() that orvo exports, so that the Java VM's library binds to it rather than
// to the C library's (see signal_hold.cpp). Linked into orvo alone: another program that
// links the platform layer keeps the C library's.
#include "platform/unix/signal_hold.h"

extern "C" int sigaction(int signal, const struct sigaction* action,
                         struct sigaction* previous) noexcept {
    return platform::program_sigaction(signal, action, previous);
}
