// Linked with orvo.exe's own main() into a program that is orvo.exe in a time zone of the
// test's choosing: local midnight falls at the second since 1970 that the environment
// variable ORVO_TEST_MIDNIGHT names (the settings' env element sets it before the logs
// are opened), so that the daily rotation can be tried without waiting for the night.
// Windows takes its time zone from the system alone. This file takes the place of the
// platform layer's local_time.cpp, whose functions it defines, when the program is linked.
#include <windows.h>

#include <cstdlib>

#include "platform/local_time.h"

namespace platform {

namespace {

constexpr std::int64_t ms_per_day = 86400 * 1000;

// Local time is UTC less this, as for a POSIX time zone west of Greenwich.
std::int64_t offset_ms() {
    char text[32];
    const DWORD length = GetEnvironmentVariableA("ORVO_TEST_MIDNIGHT", text, sizeof text);
    if (length == 0 || length >= sizeof text) {
        return 0;
    }
    return std::strtoll(text, nullptr, 10) % 86400 * 1000;
}

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

} // namespace

std::int64_t now_ms() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks =
        (std::uint64_t{now.dwHighDateTime} << 32) | std::uint64_t{now.dwLowDateTime};
    return static_cast<std::int64_t>(ticks / 10000) - 11644473600000;
}

// The civil date of a day count, as in Howard Hinnant's "chrono-Compatible Low-Level Date
// Algorithms".
local_time local_time_at(std::int64_t instant) {
    const std::int64_t local = instant - offset_ms();
    const std::int64_t days = floor_div(local, ms_per_day);
    std::int64_t in_day = local - days * ms_per_day;
    const std::int64_t z = days + 719468;
    const std::int64_t era = floor_div(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    local_time time;
    time.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    time.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    time.year = static_cast<int>(yoe + era * 400 + (time.month <= 2 ? 1 : 0));
    time.hour = static_cast<int>(in_day / 3600000);
    in_day %= 3600000;
    time.minute = static_cast<int>(in_day / 60000);
    in_day %= 60000;
    time.second = static_cast<int>(in_day / 1000);
    time.millisecond = static_cast<int>(in_day % 1000);
    return time;
}

std::int64_t next_local_midnight(std::int64_t instant) {
    const std::int64_t offset = offset_ms();
    return (floor_div(instant - offset, ms_per_day) + 1) * ms_per_day + offset;
}

} // namespace platform
