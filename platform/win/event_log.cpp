// The Application event log (advapi32), source "orvo".
#include "platform/event_log.h"

#include <windows.h>

namespace platform {

namespace {

constexpr DWORD host_error_event = 1;

std::string without_line_end(const std::string& line) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

} // namespace

void report_error_event(const std::string& line) {
    const DWORD saved_error = GetLastError();
    const HANDLE source = RegisterEventSourceA(nullptr, event_source_name);
    if (source != nullptr) {
        const std::string text = without_line_end(line);
        const char* strings[] = {text.c_str()};
        ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, host_error_event, nullptr, 1, 0, strings,
                     nullptr);
        DeregisterEventSource(source);
    }
    SetLastError(saved_error);
}

} // namespace platform
