#pragma once

// The machine's zone as the Windows zone query reports it (TIME_ZONE_INFORMATION and its dynamic
// form, which adds the zone's key name). Biases are minutes with UTC = local time + bias; the
// daylight bias is added during daylight time. A transition date is a yearly rule: the month,
// the week of the month in `day` (1 to 5, 5 the last), the day of the week (0 Sunday) and the
// time of day, with the year 0; a month of 0 means no transitions.

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/system_time.h"

namespace ruzd::foundation {

struct TimeZoneInformation {
    int32_t bias = 0;
    std::string standard_name;
    SystemTime standard_date;
    int32_t standard_bias = 0;
    std::string daylight_name;
    SystemTime daylight_date;
    int32_t daylight_bias = 0;
};

struct DynamicTimeZoneInformation : TimeZoneInformation {
    std::string time_zone_key_name;
    bool dynamic_daylight_time_disabled = false;
};

// The transition dates of a POSIX zone rule ("CET-1CEST,M3.5.0,M10.5.0/3"): the start of
// daylight time and its end (the start of standard time), from the rules of the form
// "Mm.w.d[/time]". False, with both dates left alone, for a rule without transitions or with
// transitions of another form (Julian days, times outside the day).
bool ReadTransitionDates(std::string_view posix_rule, SystemTime* daylight_date,
                         SystemTime* standard_date);

}  // namespace ruzd::foundation
