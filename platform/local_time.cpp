#include "platform/local_time.h"

#include <time.h>

namespace ruzd::platform {

void ReloadTimeZone() {
    ::tzset();
}

bool TimeZoneHasDaylightTime() {
    return ::daylight != 0;
}

std::optional<LocalTime> ToLocalTime(int64_t utc_seconds) {
    const time_t t = static_cast<time_t>(utc_seconds);
    tm local{};
    if (::localtime_r(&t, &local) == nullptr) {
        return std::nullopt;
    }
    LocalTime result;
    result.year = local.tm_year + 1900;
    result.month = local.tm_mon + 1;
    result.day = local.tm_mday;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec;
    result.utc_offset_seconds = static_cast<int32_t>(local.tm_gmtoff);
    result.daylight = local.tm_isdst > 0;
    return result;
}

int64_t UtcSecondsOfLocalTime(int year, int month, int day, int hour, int minute, int second) {
    tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<int64_t>(::mktime(&local));
}

std::optional<int64_t> LocalTimeToUtcSeconds(int year, int month, int day, int hour, int minute,
                                             int second) {
    tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    // -1 is also the answer for the last second of 1969: mktime fills the day of the week only
    // when it succeeds.
    local.tm_wday = -1;
    const time_t utc = ::mktime(&local);
    if (utc == static_cast<time_t>(-1) && local.tm_wday == -1) {
        return std::nullopt;
    }
    return static_cast<int64_t>(utc);
}

}  // namespace ruzd::platform
