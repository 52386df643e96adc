#include "foundation/time_zone_information.h"

#include <optional>

namespace ruzd::foundation {
namespace {

// A decimal number of at most `max_digits` at the front of `text`, which it leaves behind.
std::optional<int> TakeNumber(std::string_view& text, size_t max_digits) {
    size_t digits = 0;
    int value = 0;
    while (digits < text.size() && digits < max_digits && text[digits] >= '0' &&
           text[digits] <= '9') {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    text.remove_prefix(digits);
    return value;
}

bool TakeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

// "Mm.w.d" and an optional "/hh[:mm[:ss]]" (02:00 when missing).
std::optional<SystemTime> ReadMonthWeekDay(std::string_view text) {
    if (!TakeChar(text, 'M')) {
        return std::nullopt;
    }
    const std::optional<int> month = TakeNumber(text, 2);
    std::optional<int> week, day;
    if (TakeChar(text, '.')) {
        week = TakeNumber(text, 1);
    }
    if (TakeChar(text, '.')) {
        day = TakeNumber(text, 1);
    }
    if (!month || !week || !day || *month < 1 || *month > 12 || *week < 1 || *week > 5 ||
        *day > 6) {
        return std::nullopt;
    }
    int hour = 2, minute = 0, second = 0;
    if (TakeChar(text, '/')) {
        std::optional<int> h = TakeNumber(text, 3);
        std::optional<int> m = 0, s = 0;
        if (h && TakeChar(text, ':')) {
            m = TakeNumber(text, 2);
            if (m && TakeChar(text, ':')) {
                s = TakeNumber(text, 2);
            }
        }
        // A signed time or one outside the day has no place in a transition date.
        if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) {
            return std::nullopt;
        }
        hour = *h;
        minute = *m;
        second = *s;
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    SystemTime date;
    date.month = static_cast<uint16_t>(*month);
    date.day = static_cast<uint16_t>(*week);
    date.day_of_week = static_cast<uint16_t>(*day);
    date.hour = static_cast<uint16_t>(hour);
    date.minute = static_cast<uint16_t>(minute);
    date.second = static_cast<uint16_t>(second);
    return date;
}

}  // namespace

bool ReadTransitionDates(std::string_view posix_rule, SystemTime* daylight_date,
                         SystemTime* standard_date) {
    // The names (also "<+03>" forms) and offsets hold no comma, the rules follow the first one.
    const size_t first = posix_rule.find(',');
    if (first == std::string_view::npos) {
        return false;
    }
    const std::string_view rules = posix_rule.substr(first + 1);
    const size_t second = rules.find(',');
    if (second == std::string_view::npos) {
        return false;
    }
    const std::optional<SystemTime> start = ReadMonthWeekDay(rules.substr(0, second));
    const std::optional<SystemTime> end = ReadMonthWeekDay(rules.substr(second + 1));
    if (!start || !end) {
        return false;
    }
    *daylight_date = *start;
    *standard_date = *end;
    return true;
}

}  // namespace ruzd::foundation
