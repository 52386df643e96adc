#pragma once

// OLE dates, as COleDateTime holds them: days since 30 December 1899 as a double with the time
// of day as the fraction, and a status. Before that day the time of day is a positive fraction
// of a negative day count: -1.25 is 29 December 1899 06:00, which lies 0.75 days before the day
// the value 0 stands for. Sums and differences therefore go through the linear value (-0.75
// there), in which every day is one unit. Valid dates lie in the years 100 to 9999; a breakdown
// into fields rounds to the nearest second, as VariantTimeToSystemTime does.

#include <cstdint>
#include <optional>

#include "foundation/system_time.h"

namespace ruzd::foundation {

enum class OleDateStatus : uint8_t { kValid = 0, kInvalid = 1, kNull = 2 };

// A span between two dates in days (COleDateTimeSpan).
class OleDateSpan {
public:
    constexpr OleDateSpan() = default;
    constexpr explicit OleDateSpan(double days) : days_(days) {}
    static OleDateSpan FromSeconds(double seconds) { return OleDateSpan(seconds / 86400.0); }

    double days() const { return days_; }
    double TotalHours() const { return days_ * 24.0; }
    double TotalSeconds() const { return days_ * 86400.0; }

private:
    double days_ = 0.0;
};

class OleDate {
public:
    // 30 December 1899 00:00, valid.
    constexpr OleDate() = default;
    constexpr OleDate(double value, OleDateStatus status) : value_(value), status_(status) {}

    // The date of an OLE value; invalid outside the years 100 to 9999.
    static OleDate FromValue(double value);
    // The date of a linear value; invalid outside the years 100 to 9999.
    static OleDate FromLinear(double linear);
    // The date of calendar fields (SystemTimeToVariantTime); invalid when a field is out of its
    // range or the year outside 100 to 9999.
    static OleDate FromFields(int year, int month, int day, int hour, int minute, int second);
    // The date of seconds since 1970 (UTC or local, as the caller counts them).
    static OleDate FromEpochSeconds(int64_t seconds);

    double value() const { return value_; }
    OleDateStatus status() const { return status_; }
    bool IsValid() const { return status_ == OleDateStatus::kValid; }
    bool IsNull() const { return status_ == OleDateStatus::kNull; }

    // The value in which every day is one unit and the time of day counts forward.
    double Linear() const;
    // The whole days, truncated toward zero, and the time of day as a fraction of a day.
    double WholeDays() const;
    double TimeOfDay() const;

    // The fields rounded to the nearest second (the milliseconds 0); none when the date is not
    // valid or rounds past the year 9999.
    std::optional<SystemTime> ToSystemTime() const;
    // The seconds since 1970 of the fields, rounded to the nearest second.
    std::optional<int64_t> ToEpochSeconds() const;

    bool operator==(const OleDate&) const = default;

private:
    double value_ = 0.0;
    OleDateStatus status_ = OleDateStatus::kValid;
};

// A date that is not valid stays as it is; a sum out of range is invalid.
OleDate operator+(const OleDate& date, const OleDateSpan& span);
OleDate operator-(const OleDate& date, const OleDateSpan& span);
OleDateSpan operator-(const OleDate& later, const OleDate& earlier);

// The failure results of the conversions: the invalid and the null date, both of value 0.
inline constexpr OleDate kInvalidOleDate{0.0, OleDateStatus::kInvalid};
inline constexpr OleDate kNullOleDate{0.0, OleDateStatus::kNull};

}  // namespace ruzd::foundation
