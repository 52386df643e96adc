// CStaticTools: dates, ISO-8601 text and the conversions between UTC and local time.

#include <cmath>
#include <optional>

#include "foundation/static_tools.h"
#include "foundation/time_tools.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "platform/user_locale.h"

namespace ruzd::foundation {
namespace {

constexpr double kMillisecondsPerDay = 86400000.0;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads a date text field by field.
class TextCursor {
public:
    explicit TextCursor(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }

    bool Take(char c) {
        if (AtEnd() || text_[pos_] != c) {
            return false;
        }
        ++pos_;
        return true;
    }

    // Between `fewest` and `most` digits as a number; none when fewer are there.
    std::optional<int> Digits(size_t fewest, size_t most) {
        int value = 0;
        size_t count = 0;
        while (count < most && !AtEnd() && IsDigit(text_[pos_])) {
            value = value * 10 + (text_[pos_++] - '0');
            ++count;
        }
        if (count < fewest) {
            return std::nullopt;
        }
        return value;
    }

    // The milliseconds of a decimal fraction of a second: its first three digits, the rest
    // read and dropped. None without a digit.
    std::optional<int> FractionMilliseconds() {
        int value = 0;
        size_t count = 0;
        for (; !AtEnd() && IsDigit(text_[pos_]); ++pos_, ++count) {
            if (count < 3) {
                value = value * 10 + (text_[pos_] - '0');
            }
        }
        if (count == 0) {
            return std::nullopt;
        }
        for (; count < 3; ++count) {
            value *= 10;
        }
        return value;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

struct DateFields {
    int year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
    int zone_minutes = 0;  // local time minus UTC

    OleDate ToUtcDate() const {
        const OleDate date = OleDate::FromFields(year, month, day, hour, minute, second);
        if (!date.IsValid()) {
            return kInvalidOleDate;
        }
        return date + OleDateSpan(milliseconds / kMillisecondsPerDay) -
               OleDateSpan::FromSeconds(zone_minutes * 60.0);
    }
};

// "Z", or a sign, hours, ':' and minutes, ending the text.
bool ReadZone(TextCursor& cursor, DateFields& fields) {
    if (cursor.Take('Z')) {
        return cursor.AtEnd();
    }
    const bool east = cursor.Take('+');
    if (!east && !cursor.Take('-')) {
        return false;
    }
    const std::optional<int> hours = cursor.Digits(2, 2);
    if (!hours || *hours > 23 || !cursor.Take(':')) {
        return false;
    }
    const std::optional<int> minutes = cursor.Digits(2, 2);
    if (!minutes || *minutes > 59 || !cursor.AtEnd()) {
        return false;
    }
    fields.zone_minutes = (east ? 1 : -1) * (*hours * 60 + *minutes);
    return true;
}

// The fields of an ISO-8601 text; none when it does not parse.
std::optional<DateFields> ReadIso(std::string_view text) {
    TextCursor cursor(text);
    DateFields fields;
    // Each field in turn, after its separator; the text may end after any of them.
    int* const parts[] = {&fields.month, &fields.day, &fields.hour, &fields.minute, &fields.second};
    const char separators[] = {'-', '-', 'T', ':', ':'};
    const std::optional<int> year = cursor.Digits(4, 4);
    if (!year) {
        return std::nullopt;
    }
    fields.year = *year;
    for (size_t i = 0; i < std::size(parts); ++i) {
        if (cursor.AtEnd()) {
            return fields;
        }
        const std::optional<int> value =
            cursor.Take(separators[i]) ? cursor.Digits(2, 2) : std::nullopt;
        if (!value) {
            return std::nullopt;
        }
        *parts[i] = *value;
    }
    if (cursor.AtEnd()) {
        return fields;
    }
    if (cursor.Take('.')) {
        const std::optional<int> milliseconds = cursor.FractionMilliseconds();
        if (!milliseconds) {
            return std::nullopt;
        }
        fields.milliseconds = *milliseconds;
        if (cursor.AtEnd()) {
            return fields;
        }
    }
    if (!ReadZone(cursor, fields)) {
        return std::nullopt;
    }
    return fields;
}

// "M/D/YYYY", then optionally blanks and "h:mm" or "h:mm:ss".
std::optional<DateFields> ReadUsDate(std::string_view text) {
    TextCursor cursor(text);
    DateFields fields;
    const std::optional<int> month = cursor.Digits(1, 2);
    const std::optional<int> day = month && cursor.Take('/') ? cursor.Digits(1, 2) : std::nullopt;
    const std::optional<int> year = day && cursor.Take('/') ? cursor.Digits(4, 4) : std::nullopt;
    if (!year) {
        return std::nullopt;
    }
    fields.month = *month;
    fields.day = *day;
    fields.year = *year;
    if (cursor.AtEnd()) {
        return fields;
    }
    if (!cursor.Take(' ')) {
        return std::nullopt;
    }
    while (cursor.Take(' ')) {
    }
    const std::optional<int> hour = cursor.Digits(1, 2);
    const std::optional<int> minute = hour && cursor.Take(':') ? cursor.Digits(2, 2) : std::nullopt;
    if (!minute) {
        return std::nullopt;
    }
    fields.hour = *hour;
    fields.minute = *minute;
    if (cursor.Take(':')) {
        const std::optional<int> second = cursor.Digits(2, 2);
        if (!second) {
            return std::nullopt;
        }
        fields.second = *second;
    }
    if (!cursor.AtEnd()) {
        return std::nullopt;
    }
    return fields;
}

// The seconds since 1970 at which the date stands, when it is valid.
std::optional<int64_t> EpochSecondsOf(const OleDate& date) {
    return date.IsValid() ? date.ToEpochSeconds() : std::nullopt;
}

}  // namespace

std::string CStaticTools::ToIso8601(const OleDate& date, bool withMilliseconds) {
    if (date.IsNull()) {
        return "(null)";
    }
    if (!date.IsValid()) {
        return "(invalid)";
    }
    if (withMilliseconds) {
        return TimeTools::FormatDateTime(date, 0, kFormatIso);
    }
    const std::optional<SystemTime> t = date.ToSystemTime();
    if (!t) {
        return "(invalid)";
    }
    return platform::Format("%04hu-%02hu-%02huT%02hu:%02hu:%02hu", t->year, t->month, t->day,
                            t->hour, t->minute, t->second);
}

OleDate CStaticTools::FromIso8601(std::string_view text) {
    if (text == "(null)") {
        return kNullOleDate;
    }
    const std::optional<DateFields> fields = ReadIso(text);
    return fields ? fields->ToUtcDate() : kInvalidOleDate;
}

OleDate CStaticTools::AddMilliseconds(const OleDate& date, int32_t milliseconds) {
    return date + OleDateSpan(milliseconds / kMillisecondsPerDay);
}

OleDate CStaticTools::ParseDateTime(std::string_view text, bool dateOnly) {
    text = platform::Trim(text, " \t");
    std::optional<DateFields> fields;
    if (text.size() >= 5 && IsDigit(text[0]) && IsDigit(text[3]) && text[4] == '-') {
        // The ISO forms, also with a blank between date and time.
        std::string iso(text);
        if (iso.size() > 10 && iso[10] == ' ') {
            iso[10] = 'T';
        }
        fields = ReadIso(iso);
    } else {
        fields = ReadUsDate(text);
    }
    if (!fields) {
        return kInvalidOleDate;
    }
    if (dateOnly) {
        return OleDate::FromFields(fields->year, fields->month, fields->day, 0, 0, 0);
    }
    return fields->ToUtcDate();
}

std::string CStaticTools::FormatDate(std::string_view text) {
    const OleDate date = ParseDateTime(text, true);
    const std::optional<SystemTime> t =
        date.IsValid() && date.value() > 0.0 ? date.ToSystemTime() : std::nullopt;
    if (!t) {
        return "INVALID DATE";
    }
    return platform::Format("%04hu-%02hu-%02hu", t->year, t->month, t->day);
}

std::string CStaticTools::FormatDateAndTime(std::string_view text) {
    const std::string formatted = DefaultDateText(ParseDateTime(text, false));
    return formatted.empty() ? "INVALID DATE" : formatted;
}

std::string CStaticTools::DefaultDateText(const OleDate& date) {
    const std::optional<SystemTime> t = date.IsValid() ? date.ToSystemTime() : std::nullopt;
    if (!t) {
        return "";
    }
    return platform::FormatUserTime("%x %X", t->year, t->month, t->day, t->hour, t->minute,
                                    t->second);
}

OleDate CStaticTools::UtcToLocal(const OleDate& date) {
    const std::optional<int64_t> seconds = EpochSecondsOf(date);
    const std::optional<platform::LocalTime> local =
        seconds ? platform::ToLocalTime(*seconds) : std::nullopt;
    if (!local) {
        return date;
    }
    const OleDate converted = date + OleDateSpan::FromSeconds(local->utc_offset_seconds);
    return converted.IsValid() ? converted : date;
}

OleDate CStaticTools::LocalToUtc(const OleDate& date) {
    const std::optional<SystemTime> t = date.IsValid() ? date.ToSystemTime() : std::nullopt;
    if (!t) {
        return date;
    }
    const std::optional<int64_t> utc =
        platform::LocalTimeToUtcSeconds(t->year, t->month, t->day, t->hour, t->minute, t->second);
    if (!utc) {
        return date;
    }
    const auto offset = static_cast<double>(SecondsSinceEpoch(*t) - *utc);
    const OleDate converted = date - OleDateSpan::FromSeconds(offset);
    return converted.IsValid() ? converted : date;
}

int64_t CStaticTools::ToCTime(const OleDate& date) {
    const std::optional<SystemTime> t = date.IsValid() ? date.ToSystemTime() : std::nullopt;
    if (!t || t->year < 1970) {
        return 0;
    }
    return platform::LocalTimeToUtcSeconds(t->year, t->month, t->day, t->hour, t->minute, t->second)
        .value_or(0);
}

OleDate CStaticTools::FromCTime(int64_t time) {
    if (time == 0 || time == -1) {
        return kNullOleDate;
    }
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(time);
    if (!local) {
        return kInvalidOleDate;
    }
    return OleDate::FromFields(local->year, local->month, local->day, local->hour, local->minute,
                               local->second);
}

int CStaticTools::CompareDates(const OleDate& a, const OleDate& b) {
    const auto rank = [](const OleDate& date) {
        return date.IsNull() ? 0 : date.IsValid() ? 2 : 1;
    };
    if (rank(a) != rank(b)) {
        return rank(a) < rank(b) ? -1 : 1;
    }
    if (!a.IsValid() || a.Linear() == b.Linear()) {
        return 0;
    }
    return a.Linear() < b.Linear() ? -1 : 1;
}

double CStaticTools::SecondsOfDay(double date) {
    return std::fabs(date - std::trunc(date)) * 86400.0;
}

}  // namespace ruzd::foundation
