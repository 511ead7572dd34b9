#include "service/host_errors.h"

#include <string>

#include "platform/event_log.h"
#include "platform/last_error.h"
#include "platform/standard_error.h"
#include "service/service_globals.h"

void write_host_error(const std::ostringstream& line) {
    const std::string bytes = line.str();
    platform::write_initial_standard_error(bytes.data(), bytes.size());
    // Someone at a console reads it there; the event log is for a service, which has none.
    if (!run_in_console) {
        platform::report_error_event(bytes);
    }
}

void write_host_failure(const std::string& what, std::uint32_t error) {
    write_host_failure(what, platform::error_text(error));
}

void write_host_failure(const std::string& what, const std::string& reason) {
    std::ostringstream line;
    line << "error: couldn't " << what << ": " << reason << "."
         << "\r\n";
    write_host_error(line);
}
