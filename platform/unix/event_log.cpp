// No event log of the host's own: the journal receives its standard error.
#include "platform/event_log.h"

namespace platform {

void report_error_event(const std::string&) {}

} // namespace platform
