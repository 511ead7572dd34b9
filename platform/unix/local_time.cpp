// Local time on POSIX systems: the C library's, in the time zone that TZ (or
// /etc/localtime) names.
#include "platform/local_time.h"

#include <chrono>
#include <ctime>

namespace platform {

namespace {

constexpr std::int64_t ms_per_second = 1000;
constexpr std::int64_t ms_per_hour = 3600 * ms_per_second;

// localtime_r need not look at TZ again: the settings' env elements may have set it since
// the time zone was first read.
std::tm local_fields(std::time_t seconds) {
    tzset();
    std::tm fields{};
    localtime_r(&seconds, &fields);
    return fields;
}

std::time_t seconds_of(std::int64_t instant) {
    return static_cast<std::time_t>(instant >= 0 ? instant / ms_per_second
                                                 : (instant - 999) / ms_per_second);
}

} // namespace

std::int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

local_time local_time_at(std::int64_t instant) {
    const std::time_t seconds = seconds_of(instant);
    const std::tm fields = local_fields(seconds);
    local_time local;
    local.year = fields.tm_year + 1900;
    local.month = fields.tm_mon + 1;
    local.day = fields.tm_mday;
    local.hour = fields.tm_hour;
    local.minute = fields.tm_min;
    local.second = fields.tm_sec;
    local.millisecond = static_cast<int>(instant - std::int64_t{seconds} * ms_per_second);
    return local;
}

std::int64_t next_local_midnight(std::int64_t instant) {
    std::tm midnight = local_fields(seconds_of(instant));
    midnight.tm_mday += 1; // mktime carries it into the next month and year
    midnight.tm_hour = 0;
    midnight.tm_min = 0;
    midnight.tm_sec = 0;
    midnight.tm_isdst = -1;
    const std::time_t next = std::mktime(&midnight);
    const std::int64_t at = std::int64_t{next} * ms_per_second;
    // A time zone without a usable midnight tomorrow cannot hold the rotation back for long.
    return next == static_cast<std::time_t>(-1) || at <= instant ? instant + ms_per_hour : at;
}

} // namespace platform
