// On Windows the service's controls reach it through the service control manager, which
// the Java VM does not take over: there is nothing to keep.
#include "platform/control_signals.h"

namespace platform {

void keep_vm_signals_away() {}

struct control_signal_guard::saved_handling {};

control_signal_guard::control_signal_guard() = default;

control_signal_guard::~control_signal_guard() = default;

void control_signal_guard::restore() {}

} // namespace platform
