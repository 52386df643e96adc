#include "foundation/debug_interval.h"

#include "foundation/system_time.h"
#include "platform/text.h"

namespace ruzd::foundation {
namespace {

struct IntervalRule {
    int64_t span_seconds;
    const char* label;
    bool name_has_hour;
    bool name_has_minute;
};

// Every span divides a day, so flooring the seconds since 1970 floors the minutes and hours
// of the day as well.
constexpr IntervalRule kRules[kDebugIntervalCount] = {
    {5 * 60, "5 min", true, true},          {15 * 60, "15 min", true, true},
    {60 * 60, "1 hour", true, false},       {3 * 60 * 60, "3 hours", true, false},
    {12 * 60 * 60, "12 hour", true, false}, {24 * 60 * 60, "1 day", false, false},
};

int64_t FloorTo(int64_t value, int64_t step) {
    const int64_t rest = value % step;
    return rest < 0 ? value - rest - step : value - rest;
}

}  // namespace

DebugInterval DebugIntervalAt(uint32_t code, int64_t utc_seconds) {
    DebugInterval interval;
    if (code >= kDebugIntervalCount) {
        interval.label = "Unknown";
        interval.start = utc_seconds;
        return interval;
    }
    const IntervalRule& rule = kRules[code];
    interval.label = rule.label;
    interval.start = FloorTo(utc_seconds, rule.span_seconds);
    interval.next_boundary = interval.start + rule.span_seconds;
    const SystemTime t = BreakDownMicros(interval.start * 1000000);
    interval.file_name = platform::Format("%02hu%02hu", t.month, t.day);
    if (rule.name_has_hour)
        interval.file_name += platform::Format("%02hu", t.hour);
    if (rule.name_has_minute)
        interval.file_name += platform::Format("%02hu", t.minute);
    interval.file_name += ".deb";
    return interval;
}

}  // namespace ruzd::foundation
