#pragma once

// The time intervals of the debug files: each interval has a file of its own, named from the
// interval's start (UTC minus the server time shift; the year is not part of the name).

#include <cstdint>
#include <limits>
#include <string>

namespace ruzd::foundation {

// "Debug File Type": 0 five minutes, 1 a quarter hour, 2 one hour, 3 three hours, 4 twelve
// hours, 5 one day.
constexpr uint32_t kDebugIntervalCount = 6;

// A boundary that never comes.
constexpr int64_t kDebugNoBoundary = std::numeric_limits<int64_t>::max();

struct DebugInterval {
    std::string file_name;  // "12081405.deb"; empty for an unknown interval code
    std::string label;      // "5 min" ... "1 day", "Unknown"
    int64_t start = 0;      // seconds since 1970
    int64_t next_boundary = kDebugNoBoundary;
};

// The interval of `code` that holds `utc_seconds`. An unknown code names no file of its own and
// never ends, so that a wrong setting cannot open a new file for every line.
DebugInterval DebugIntervalAt(uint32_t code, int64_t utc_seconds);

}  // namespace ruzd::foundation
