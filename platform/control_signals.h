// Keeping the process's own handling of the stop signals across the Java VM's creation.
//
// On POSIX systems the Java VM installs handlers of its own for SIGTERM, SIGINT and SIGHUP
// while it is created (they run Java's shutdown and end the process), replacing whatever
// the process had installed. A guard taken right before the creation and restored right
// after it puts back each handler that the process had installed itself; a signal that
// was at its default action keeps what the VM installed, so a program without handlers
// of its own keeps the VM's behaviour. On Windows nothing needs keeping.
#pragma once

#include <memory>

namespace platform {

// The signals with which the Java VM drives its own threads (on POSIX systems its
// suspend-resume signal, SIGUSR2 unless the environment chose another, and SIGQUIT for
// thread dumps) are kept away from every thread of the process's own, for the life of the
// process: the VM's handlers for them expect a thread of the VM and crash on any other,
// and until the VM has installed them their default action ends the process. Only the VM's
// own threads, which unblock them, take them, and the suspend-resume handler only hears
// the VM's own requests: one sent by another process means nothing to it. Call it first in
// main, before any other thread exists; threads started later inherit it. Call it again
// once the environment has changed before the VM is created (the settings may choose the
// suspend-resume signal): the signal the VM will use is then kept from the calling thread
// and the threads it starts, and its handler is filtered as above. Nothing to do on
// Windows.
void keep_vm_signals_away();

class control_signal_guard {
  public:
    // Notes the current handling of the stop signals.
    control_signal_guard();
    // Restores, if restore() has not run.
    ~control_signal_guard();
    control_signal_guard(const control_signal_guard&) = delete;
    control_signal_guard& operator=(const control_signal_guard&) = delete;

    // Puts back every noted handling that was not the default action. Runs once; later
    // calls do nothing.
    void restore();

  private:
    struct saved_handling;
    std::unique_ptr<saved_handling> saved_;
};

} // namespace platform
