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
