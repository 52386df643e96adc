// TimeTools: conversions and formats of OLE dates in the machine's zone.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "foundation/machine_zone_dates.h"
#include "foundation/time_tools.h"
#include "platform/text.h"
#include "platform/user_locale.h"

namespace ruzd::foundation {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

OleDate ShiftedBy(const OleDate& date, int32_t seconds) {
    return date + OleDateSpan::FromSeconds(seconds);
}

int32_t ActiveShift() {
    return TimeTools::IsServerTimeShiftActive() ? TimeTools::GetServerTimeShift() : 0;
}

// The local time's UTC offset in minutes; none when the time cannot be converted.
std::optional<int32_t> OffsetMinutesOfLocal(const OleDate& local) {
    const std::optional<int64_t> local_seconds = local.ToEpochSeconds();
    const std::optional<OleDate> utc = MachineLocalToUtc(local);
    if (!local_seconds || !utc) {
        return std::nullopt;
    }
    const int64_t offset = *local_seconds - *utc->ToEpochSeconds();
    return static_cast<int32_t>(std::lround(static_cast<double>(offset) / 60.0));
}

// The ISO text of a date: its calendar day (of the whole days) and its time of day cut to the
// millisecond, so that 23:59:59.999 stays on its day.
std::string IsoText(const OleDate& date) {
    const std::optional<SystemTime> day =
        OleDate(date.WholeDays(), OleDateStatus::kValid).ToSystemTime();
    if (!day) {
        return "";
    }
    const int32_t ms = MillisecondsOfDay(date);
    return platform::Format("%04hu-%02hu-%02huT%02d:%02d:%02d.%03d", day->year, day->month,
                            day->day, ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

std::string LocaleText(const OleDate& date, uint32_t flags) {
    const std::optional<SystemTime> t = date.ToSystemTime();
    if (!t) {
        return "";
    }
    const platform::TimePictures pictures = platform::UserTimePictures();
    const auto format = [&t](const std::string& picture) {
        return platform::FormatUserTime(picture, t->year, t->month, t->day, t->hour, t->minute,
                                        t->second);
    };
    std::string text;
    if (flags & kFormatDate) {
        text = format((flags & kFormatLongDate) ? pictures.long_date : pictures.short_date);
    }
    if (flags & kFormatTime) {
        const std::string time =
            format((flags & kFormatLongDate) ? pictures.time : pictures.time_without_seconds);
        text = text.empty() ? time : text + " " + time;
    }
    return text;
}

}  // namespace

OleDate TimeTools::UtcToLocalTime(const OleDate& utc, bool keep_input_on_failure) {
    if (!utc.IsValid()) {
        return FailedDate(utc, keep_input_on_failure);
    }
    const std::optional<OleDate> local = MachineUtcToLocal(utc, ActiveShift());
    return local ? *local : FailedDate(utc, keep_input_on_failure);
}

OleDate TimeTools::LocalTimeToUtc(const OleDate& local, bool keep_input_on_failure) {
    if (!local.IsValid()) {
        return FailedDate(local, keep_input_on_failure);
    }
    const std::optional<OleDate> utc = MachineLocalToUtc(local, ActiveShift());
    return utc ? *utc : FailedDate(local, keep_input_on_failure);
}

OleDate TimeTools::ToLocalTime(const OleDate& utc) {
    return utc.IsValid() ? UtcToLocalTime(utc, true) : utc;
}

OleDate TimeTools::ToUtcTime(const OleDate& local) {
    return local.IsValid() ? LocalTimeToUtc(local, true) : local;
}

OleDate TimeTools::AddSeconds(const OleDate& date, int32_t seconds, bool keep_input_on_failure) {
    if (!date.IsValid()) {
        return FailedDate(date, keep_input_on_failure);
    }
    const OleDate sum = ShiftedBy(date, seconds);
    return sum.IsValid() ? sum : FailedDate(date, keep_input_on_failure);
}

OleDate TimeTools::SubtractSeconds(const OleDate& date, int32_t seconds,
                                   bool keep_input_on_failure) {
    if (!date.IsValid()) {
        return FailedDate(date, keep_input_on_failure);
    }
    const OleDate difference = date - OleDateSpan::FromSeconds(seconds);
    return difference.IsValid() ? difference : FailedDate(date, keep_input_on_failure);
}

OleDate TimeTools::CombineDateAndTime(const OleDate& date_source, const OleDate& time_source) {
    if (!date_source.IsValid()) {
        return FailedDate(date_source, false);
    }
    if (!time_source.IsValid()) {
        return FailedDate(time_source, false);
    }
    const double days = std::fabs(date_source.WholeDays()) + time_source.TimeOfDay();
    return OleDate::FromValue(date_source.value() < 0 ? -days : days);
}

OleDate TimeTools::GetDatePart(const OleDate& date) {
    return date.IsValid() ? OleDate::FromValue(date.WholeDays()) : FailedDate(date, false);
}

OleDate TimeTools::GetTimePart(const OleDate& date) {
    return date.IsValid() ? OleDate::FromValue(date.TimeOfDay()) : FailedDate(date, false);
}

OleDate TimeTools::RoundDateTime(const OleDate& date, int level) {
    const std::optional<SystemTime> split = DateToSystemTimeMs(date);
    if (!split) {
        return FailedDate(date, false);
    }
    SystemTime t = *split;
    // Decided on the fields as split: a carry from below does not make a field round up.
    const bool up_day = level < 1 && t.hour > 11;
    const bool up_hour = level < 2 && t.minute > 29;
    const bool up_minute = level < 3 && t.second > 29;
    const bool up_second = level < 4 && t.milliseconds > 499;

    bool carry = false;
    if (up_second && ++t.second == 60) {
        t.second = 0;
        carry = true;
    }
    // A carry that reaches a field is that field's rounding up, not one more.
    if (up_minute || carry) {
        carry = ++t.minute == 60;
        if (carry) {
            t.minute = 0;
        }
    }
    if (up_hour || carry) {
        carry = ++t.hour == 24;
        if (carry) {
            t.hour = 0;
        }
    }
    if ((up_day || carry) && ++t.day > DaysInMonth(t.year, t.month)) {
        t.day = 1;
        if (++t.month > 12) {
            t.month = 1;
            ++t.year;
        }
    }
    if (level < 1) {
        t.hour = 0;
    }
    if (level < 2) {
        t.minute = 0;
    }
    if (level < 3) {
        t.second = 0;
    }
    if (level < 4) {
        t.milliseconds = 0;
    }
    const std::optional<OleDate> rounded = SystemTimeToDateMs(t);
    return rounded ? *rounded : kInvalidOleDate;
}

std::optional<OleDate> TimeTools::SystemTimeToDateMs(const SystemTime& record) {
    if (record.milliseconds > 999) {
        return std::nullopt;
    }
    const OleDate whole = OleDate::FromFields(record.year, record.month, record.day, record.hour,
                                              record.minute, record.second);
    if (!whole.IsValid()) {
        return std::nullopt;
    }
    const OleDate date =
        OleDate::FromLinear(whole.Linear() + record.milliseconds / kMillisecondsPerDay);
    return date.IsValid() ? std::optional<OleDate>(date) : std::nullopt;
}

std::optional<SystemTime> TimeTools::DateToSystemTimeMs(const OleDate& date) {
    if (!date.IsValid()) {
        return std::nullopt;
    }
    // The seconds of the minute with their fraction, out of the fraction of the day.
    double part = date.TimeOfDay() * 24.0;
    part = (part - std::floor(part)) * 60.0;
    part = (part - std::floor(part)) * 60.0;
    const double seconds = RoundToDigits(part, 4);
    auto milliseconds =
        static_cast<int32_t>(RoundToDigits((seconds - std::floor(seconds)) * 1000.0, 0));
    // 999.5 and up is the next second, which the breakdown below rounds to by itself.
    if (milliseconds >= 1000) {
        milliseconds = 0;
    }
    const OleDate whole = OleDate::FromLinear(date.Linear() - milliseconds / kMillisecondsPerDay);
    std::optional<SystemTime> record = whole.ToSystemTime();
    if (record && milliseconds > 0) {
        record->milliseconds = static_cast<uint16_t>(milliseconds);
    }
    return record;
}

double TimeTools::RoundToDigits(double value, int digits) {
    digits = std::max(-4, std::min(4, digits));
    const double scale = std::pow(10.0, std::abs(digits));
    if (digits >= 0) {
        return std::floor(value * scale + 0.5) / scale;
    }
    return std::floor(value / scale + 0.5) * scale;
}

TimeRecord TimeTools::SystemTimeToTimeRecord(const SystemTime& record) {
    TimeRecord out;
    out.year = record.year;
    out.month = record.month;
    out.day = record.day;
    out.hour = record.hour;
    out.minute = record.minute;
    out.second = record.second;
    out.nanoseconds = static_cast<uint32_t>(record.milliseconds) * 1000000u;
    return out;
}

SystemTime TimeTools::TimeRecordToSystemTime(const TimeRecord& record) {
    SystemTime out;
    out.year = record.year;
    out.month = record.month;
    out.day = record.day;
    out.hour = record.hour;
    out.minute = record.minute;
    out.second = record.second;
    out.day_of_week = 0;
    out.milliseconds = static_cast<uint16_t>(record.nanoseconds / 1000000u);
    return out;
}

std::string TimeTools::FormatDateTime(const OleDate& date, int32_t offset_seconds, uint32_t flags) {
    if (date.IsNull()) {
        return (flags & kFormatNullText) ? "(null)" : "";
    }
    if (!date.IsValid()) {
        return (flags & kFormatErrorText) ? "(error)" : "";
    }
    const OleDate shown = offset_seconds != 0 ? ShiftedBy(date, offset_seconds) : date;
    if ((flags & kFormatDate) && (flags & kFormatNoDateToday) &&
        date.WholeDays() == PtimeToDate(GetLocalOleDateTime()).WholeDays()) {
        flags &= ~static_cast<uint32_t>(kFormatDate);
    }
    std::string text = (flags & kFormatIso) ? IsoText(shown) : LocaleText(shown, flags);

    const int32_t minutes = offset_seconds / 60;
    if ((flags & kFormatOffset) || ((flags & kFormatIso) && minutes != 0)) {
        // The sign of the whole offset, also for less than an hour west of UTC.
        const char sign = minutes < 0 ? '-' : '+';
        const int32_t magnitude = std::abs(minutes);
        const bool long_form = (flags & kFormatLongDate) && (flags & kFormatDate);
        text += platform::Format(long_form ? " (UTC %c%02d:%02d)" : "%c%02d:%02d", sign,
                                 magnitude / 60, magnitude % 60);
    }
    return text;
}

void TimeTools::GetOffsetPeriods(const OleDate& start, const OleDate& end,
                                 std::vector<OffsetPeriod>* periods) {
    if (!start.IsValid() || !end.IsValid()) {
        return;
    }
    OffsetPeriod period{start, start, OffsetMinutesOfLocal(start).value_or(0)};
    bool appended = false;
    const auto hours = static_cast<int64_t>(std::trunc((end - start).TotalHours()));
    for (int64_t hour = 1; hour <= hours; ++hour) {
        const OleDate time = start + OleDateSpan(static_cast<double>(hour) / 24.0);
        const std::optional<int32_t> offset = OffsetMinutesOfLocal(time);
        if (!offset || *offset == period.utc_offset_minutes) {
            continue;
        }
        period.end = time;
        periods->push_back(period);
        appended = true;
        period = OffsetPeriod{time, time, *offset};
    }
    // The time after the last change gets a record only when it lasts a whole day.
    if (!appended || std::trunc((end - period.start).days()) > 0) {
        period.end = end;
        periods->push_back(period);
    }
}

std::string TimeTools::GetPosixZoneText(const DynamicTimeZoneInformation& zone) {
    if (zone.time_zone_key_name.empty() || zone.daylight_date.month == 0) {
        return "";
    }
    const auto rule = [](const SystemTime& date) {
        return platform::Format(",M%hu.%hu.%hu/%.2hu:%.2hu:%.2hu", date.month, date.day,
                                date.day_of_week, date.hour, date.minute, date.second);
    };
    return platform::Format("%s%d:%d%s%d:%d", zone.time_zone_key_name.c_str(), -zone.bias / 60,
                            std::abs(zone.bias) % 60, zone.daylight_name.c_str(),
                            -zone.daylight_bias / 60, std::abs(zone.daylight_bias) % 60) +
           rule(zone.daylight_date) + rule(zone.standard_date);
}

}  // namespace ruzd::foundation
