#include "foundation/ole_date.h"

#include <cmath>

namespace ruzd::foundation {
namespace {

// 1 January 100 and the day after 31 December 9999, as linear values.
constexpr double kFirstValidDay = -657434.0;
constexpr double kFirstDayAfterValid = 2958466.0;
// Days from 30 December 1899 to 1 January 1970.
constexpr int64_t kEpochDay = 25569;
constexpr int64_t kSecondsPerDay = 86400;

bool InRange(double linear) {
    return linear >= kFirstValidDay && linear < kFirstDayAfterValid;
}

// The OLE value of a linear value.
double ValueOfLinear(double linear) {
    if (linear >= 0.0) {
        return linear;
    }
    const double whole = std::floor(linear);
    const double fraction = linear - whole;
    return fraction == 0.0 ? whole : whole - fraction;
}

}  // namespace

OleDate OleDate::FromValue(double value) {
    const OleDate date(value, OleDateStatus::kValid);
    return std::isfinite(value) && InRange(date.Linear()) ? date : kInvalidOleDate;
}

OleDate OleDate::FromLinear(double linear) {
    if (!std::isfinite(linear) || !InRange(linear)) {
        return kInvalidOleDate;
    }
    return OleDate(ValueOfLinear(linear), OleDateStatus::kValid);
}

OleDate OleDate::FromFields(int year, int month, int day, int hour, int minute, int second) {
    const std::optional<SystemTime> fields = MakeSystemTime(year, month, day, hour, minute, second);
    if (!fields || year < 100) {
        return kInvalidOleDate;
    }
    return FromEpochSeconds(SecondsSinceEpoch(*fields));
}

OleDate OleDate::FromEpochSeconds(int64_t seconds) {
    // Whole days and the seconds of the day apart, so that the day count stays exact.
    int64_t days = seconds / kSecondsPerDay;
    int64_t of_day = seconds % kSecondsPerDay;
    if (of_day < 0) {
        of_day += kSecondsPerDay;
        --days;
    }
    return FromLinear(static_cast<double>(days + kEpochDay) +
                      static_cast<double>(of_day) / static_cast<double>(kSecondsPerDay));
}

double OleDate::Linear() const {
    if (value_ >= 0.0) {
        return value_;
    }
    const double whole = std::trunc(value_);
    return whole + (whole - value_);
}

double OleDate::WholeDays() const {
    return std::trunc(value_);
}

double OleDate::TimeOfDay() const {
    return std::fabs(value_ - std::trunc(value_));
}

std::optional<int64_t> OleDate::ToEpochSeconds() const {
    if (!IsValid() || !std::isfinite(value_)) {
        return std::nullopt;
    }
    const double linear = Linear();
    if (!InRange(linear)) {
        return std::nullopt;
    }
    const double day = std::floor(linear);
    const auto of_day = static_cast<int64_t>(std::llround((linear - day) * kSecondsPerDay));
    const int64_t seconds = (static_cast<int64_t>(day) - kEpochDay) * kSecondsPerDay + of_day;
    // 31 December 9999 23:59:59.5 and later round into the year 10000.
    if (static_cast<double>(seconds / kSecondsPerDay + kEpochDay) >= kFirstDayAfterValid) {
        return std::nullopt;
    }
    return seconds;
}

std::optional<SystemTime> OleDate::ToSystemTime() const {
    const std::optional<int64_t> seconds = ToEpochSeconds();
    if (!seconds) {
        return std::nullopt;
    }
    return BreakDownMicros(*seconds * 1000000);
}

OleDate operator+(const OleDate& date, const OleDateSpan& span) {
    return date.IsValid() ? OleDate::FromLinear(date.Linear() + span.days()) : date;
}

OleDate operator-(const OleDate& date, const OleDateSpan& span) {
    return date.IsValid() ? OleDate::FromLinear(date.Linear() - span.days()) : date;
}

OleDateSpan operator-(const OleDate& later, const OleDate& earlier) {
    return OleDateSpan(later.Linear() - earlier.Linear());
}

}  // namespace ruzd::foundation
