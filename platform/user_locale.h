#pragma once

// The user's conventions for dates and times, as the Windows user locale gives them: taken from
// the environment (LC_ALL, LC_TIME, LANG) as the C library reads a locale, without changing the
// process's own locale. A locale that is not installed reads as "C".

#include <string>

namespace ruzd::platform {

// strftime pictures of the user's locale.
struct TimePictures {
    std::string short_date;            // D_FMT, "%m/%d/%y" in "C"
    std::string long_date;             // "%A, %d %B %Y"
    std::string time;                  // T_FMT, "%H:%M:%S" in "C"
    std::string time_without_seconds;  // T_FMT less ":%S", "%H:%M" in "C"
};

TimePictures UserTimePictures();

// The date and time written with the picture in the user's locale (day and month names
// included); empty when the text would not fit a line.
std::string FormatUserTime(const std::string& picture, int year, int month, int day, int hour,
                           int minute, int second);

// The territory of the user's locale: "DE" of LC_ALL, LC_CTYPE or LANG "de_DE.UTF-8" (the
// first of them that is set), else "".
std::string UserTerritory();

}  // namespace ruzd::platform
