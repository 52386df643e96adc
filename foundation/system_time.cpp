#include "foundation/system_time.h"

namespace ruzd::foundation {
namespace {

constexpr int64_t kMicrosPerSecond = 1000000;
constexpr int64_t kSecondsPerDay = 86400;

// Division that rounds toward negative infinity, so that times before 1970 break down too.
int64_t FloorDiv(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

// Days since 1970-01-01 of a civil date (the usual era-based algorithm, valid for any year).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = FloorDiv(year, 400);
    const unsigned year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

}  // namespace

SystemTime BreakDownMicros(int64_t micros_since_epoch) {
    const int64_t seconds = FloorDiv(micros_since_epoch, kMicrosPerSecond);
    const int64_t micros = micros_since_epoch - seconds * kMicrosPerSecond;
    const int64_t days = FloorDiv(seconds, kSecondsPerDay);
    const int64_t second_of_day = seconds - days * kSecondsPerDay;

    const int64_t shifted = days + 719468;
    const int64_t era = FloorDiv(shifted, 146097);
    const unsigned day_of_era = static_cast<unsigned>(shifted - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned month_index = (5 * day_of_year + 2) / 153;
    const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
    const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
    const int64_t year = static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);

    SystemTime out;
    out.year = static_cast<uint16_t>(year);
    out.month = static_cast<uint16_t>(month);
    out.day = static_cast<uint16_t>(day);
    // 1970-01-01 was a Thursday.
    out.day_of_week = static_cast<uint16_t>(FloorDiv(days + 4, 7) * -7 + days + 4);
    out.hour = static_cast<uint16_t>(second_of_day / 3600);
    out.minute = static_cast<uint16_t>(second_of_day % 3600 / 60);
    out.second = static_cast<uint16_t>(second_of_day % 60);
    out.milliseconds = static_cast<uint16_t>(micros / 1000);
    return out;
}

int64_t SecondsSinceEpoch(const SystemTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * kSecondsPerDay + time.hour * 3600 +
           time.minute * 60 + time.second;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::optional<SystemTime> MakeSystemTime(int year, int month, int day, int hour, int minute,
                                         int second) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59) {
        return std::nullopt;
    }
    SystemTime time;
    time.year = static_cast<uint16_t>(year);
    time.month = static_cast<uint16_t>(month);
    time.day = static_cast<uint16_t>(day);
    time.hour = static_cast<uint16_t>(hour);
    time.minute = static_cast<uint16_t>(minute);
    time.second = static_cast<uint16_t>(second);
    return time;
}

}  // namespace ruzd::foundation
