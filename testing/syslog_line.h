#pragma once

// A line a program sent to syslog, read as RFC 3164 reads it and as rsyslog and journald take
// it apart: "<PRI>Mmm dd hh:mm:ss TAG[PID]: MESSAGE", the TAG one word of at most 32 letters,
// digits, '_', '.' or '-' (a blank or anything else ends it, and the rest is no longer the tag).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::testing {

struct SyslogLine {
    int priority = 0;
    std::string timestamp;
    std::string tag;
    uint32_t pid = 0;
    std::string message;
};

// None when the line is not of that form.
std::optional<SyslogLine> ParseSyslogLine(std::string_view line);

}  // namespace ruzd::testing
