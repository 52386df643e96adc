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

namespace {

tm FieldsOf(int year, int month, int day, int hour, int minute, int second) {
    tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return fields;
}

}  // namespace

int64_t UtcSecondsOfLocalTime(int year, int month, int day, int hour, int minute, int second) {
    tm local = FieldsOf(year, month, day, hour, minute, second);
    local.tm_isdst = -1;
    return static_cast<int64_t>(::mktime(&local));
}

std::optional<int64_t> LocalTimeToUtcSeconds(int year, int month, int day, int hour, int minute,
                                             int second) {
    const tm wanted = FieldsOf(year, month, day, hour, minute, second);
    // mktime settles a time the zone repeats or skips by a guess it keeps from call to call, so
    // the same time could come back either way. Both readings are tried instead: of those that
    // read back as the time asked for, the earlier wins (the first of a repeated hour); a skipped
    // time is read as standard time.
    std::optional<int64_t> earliest;
    std::optional<int64_t> standard;
    for (int daylight : {0, 1}) {
        tm local = wanted;
        local.tm_isdst = daylight;
        // -1 is also the answer for the last second of 1969: mktime fills the day of the week
        // only when it succeeds.
        local.tm_wday = -1;
        const time_t utc = ::mktime(&local);
        if (utc == static_cast<time_t>(-1) && local.tm_wday == -1) {
            continue;
        }
        if (daylight == 0) {
            standard = utc;
        }
        tm back{};
        if (::localtime_r(&utc, &back) != nullptr && back.tm_year == wanted.tm_year &&
            back.tm_mon == wanted.tm_mon && back.tm_mday == wanted.tm_mday &&
            back.tm_hour == wanted.tm_hour && back.tm_min == wanted.tm_min &&
            back.tm_sec == wanted.tm_sec && (back.tm_isdst > 0) == (daylight == 1) &&
            (!earliest || utc < *earliest)) {
            earliest = utc;
        }
    }
    return earliest ? earliest : standard;
}

}  // namespace ruzd::platform
