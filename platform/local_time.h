// The local time of the system's time zone, for the names of rotated logs and the daily
// rotation at local midnight. Instants are milliseconds since 1970-01-01 00:00 UTC.
#pragma once

#include <cstdint>

namespace platform {

// A moment as the clocks of the system's time zone show it.
struct local_time {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0; // 0 to 60 (a leap second)
    int millisecond = 0;
};

// The instant now.
std::int64_t now_ms();

// The local time at `instant`.
local_time local_time_at(std::int64_t instant);

// The first instant after `instant` at which the local date is another one: the next
// local midnight, or, where the clocks skip midnight for daylight saving time, the moment
// the next day begins.
std::int64_t next_local_midnight(std::int64_t instant);

} // namespace platform
