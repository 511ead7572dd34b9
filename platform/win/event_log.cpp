// The Application event log (advapi32), source "orvo".
#include "platform/event_log.h"

#include <windows.h>

#include "platform/win/wide_text.h"

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
    const HANDLE source = RegisterEventSourceW(nullptr, wide_text(event_source_name).c_str());
    if (source != nullptr) {
        // The wide call: the line quotes paths, which may hold any character.
        const std::wstring text = wide_text(without_line_end(line));
        const wchar_t* strings[] = {text.c_str()};
        ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, host_error_event, nullptr, 1, 0, strings,
                     nullptr);
        DeregisterEventSource(source);
    }
    SetLastError(saved_error);
}

} // namespace platform
