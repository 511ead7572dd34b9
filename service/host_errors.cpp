#include "service/host_errors.h"

#include <string>

#include "platform/event_log.h"
#include "platform/standard_error.h"

void write_host_error(const std::ostringstream& line) {
    const std::string bytes = line.str();
    platform::write_initial_standard_error(bytes.data(), bytes.size());
    platform::report_error_event(bytes);
}
