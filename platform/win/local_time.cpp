// Local time on Windows: the time zone the system is set to, daylight saving time
// included.
#include "platform/local_time.h"

#include <windows.h>

namespace platform {

namespace {

constexpr std::int64_t ms_per_hour = 3600 * 1000;
// From 1601-01-01, where FILETIME counts, to 1970-01-01, in milliseconds.
constexpr std::int64_t epoch_offset_ms = 11644473600000;
constexpr std::int64_t ticks_per_ms = 10000; // FILETIME counts 100 ns

FILETIME file_time_of(std::int64_t instant) {
    const auto ticks = static_cast<std::uint64_t>((instant + epoch_offset_ms) * ticks_per_ms);
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(ticks);
    time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return time;
}

std::int64_t instant_of(const FILETIME& time) {
    const std::uint64_t ticks =
        (std::uint64_t{time.dwHighDateTime} << 32) | std::uint64_t{time.dwLowDateTime};
    return static_cast<std::int64_t>(ticks / ticks_per_ms) - epoch_offset_ms;
}

SYSTEMTIME local_fields(std::int64_t instant) {
    const FILETIME utc = file_time_of(instant);
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    FileTimeToSystemTime(&utc, &universal);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) {
        return universal;
    }
    return local;
}

} // namespace

std::int64_t now_ms() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return instant_of(now);
}

local_time local_time_at(std::int64_t instant) {
    const SYSTEMTIME f = local_fields(instant);
    return {f.wYear, f.wMonth, f.wDay, f.wHour, f.wMinute, f.wSecond, f.wMilliseconds};
}

std::int64_t next_local_midnight(std::int64_t instant) {
    SYSTEMTIME today = local_fields(instant);
    today.wHour = 0;
    today.wMinute = 0;
    today.wSecond = 0;
    today.wMilliseconds = 0;
    // The local date's midnight, counted as if it were UTC, one day on.
    FILETIME counted{};
    SystemTimeToFileTime(&today, &counted);
    const FILETIME tomorrow = file_time_of(instant_of(counted) + 24 * ms_per_hour);
    SYSTEMTIME local_midnight{};
    SYSTEMTIME universal{};
    FILETIME next{};
    if (!FileTimeToSystemTime(&tomorrow, &local_midnight) ||
        !TzSpecificLocalTimeToSystemTime(nullptr, &local_midnight, &universal) ||
        !SystemTimeToFileTime(&universal, &next) || instant_of(next) <= instant) {
        return instant + ms_per_hour;
    }
    return instant_of(next);
}

} // namespace platform
