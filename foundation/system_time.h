#pragma once

// A calendar time broken down field by field, as the Windows SYSTEMTIME record holds it.

#include <cstdint>
#include <optional>

namespace ruzd::foundation {

struct SystemTime {
    uint16_t year = 0;
    uint16_t month = 0;        // 1 to 12
    uint16_t day_of_week = 0;  // 0 = Sunday
    uint16_t day = 0;          // 1 to 31
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t milliseconds = 0;
};

// Breaks a count of microseconds since 1970-01-01 00:00:00 down into its calendar fields
// (proleptic Gregorian calendar, no leap seconds).
SystemTime BreakDownMicros(int64_t micros_since_epoch);

// The count of seconds since 1970-01-01 of a calendar date and time; the day of the week and
// the milliseconds are not used.
int64_t SecondsSinceEpoch(const SystemTime& time);

// The days of a month (1 to 12) of the proleptic Gregorian calendar.
int DaysInMonth(int year, int month);

// The record of a date and time of the years 1 to 9999 (milliseconds 0); none when a field
// lies outside its range.
std::optional<SystemTime> MakeSystemTime(int year, int month, int day, int hour, int minute,
                                         int second);

}  // namespace ruzd::foundation
