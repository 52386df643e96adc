#pragma once

// Local time as the system's time zone rules give it (the TZ variable or the system's zone).
// The clock seam (platform/clock.h) says what time it is; this says what that time is here.

#include <cstdint>
#include <optional>

namespace ruzd::platform {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    // Local time minus UTC.
    int32_t utc_offset_seconds = 0;
    bool daylight = false;
};

// Reads the zone again, so that a changed TZ takes effect.
void ReloadTimeZone();

// Whether the zone has daylight saving time at all (as last read).
bool TimeZoneHasDaylightTime();

// The local time at `utc_seconds` since 1970; none when the system cannot break it down.
std::optional<LocalTime> ToLocalTime(int64_t utc_seconds);

// The seconds since 1970 of a local date and time, daylight saving time as the zone has it then.
int64_t UtcSecondsOfLocalTime(int year, int month, int day, int hour, int minute, int second);

// The same, none when the system cannot represent the time. Of a local time that the zone
// repeats the first comes back; one that the zone skips is read as standard time.
std::optional<int64_t> LocalTimeToUtcSeconds(int year, int month, int day, int hour, int minute,
                                             int second);

}  // namespace ruzd::platform
