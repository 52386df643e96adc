#include "testing/syslog_line.h"

#include <array>
#include <cctype>

namespace ruzd::testing {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsTagCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.' || c == '-';
}

// "Mmm dd hh:mm:ss": a month's name, the day padded with a blank, the time.
bool IsTimestamp(std::string_view text) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != 15 || text[3] != ' ' || text[6] != ' ' || text[9] != ':' ||
        text[12] != ':') {
        return false;
    }
    bool month = false;
    for (const std::string_view name : kMonths) {
        month = month || text.substr(0, 3) == name;
    }
    return month && (text[4] == ' ' || IsDigit(text[4])) && IsDigit(text[5]) && IsDigit(text[7]) &&
           IsDigit(text[8]) && IsDigit(text[10]) && IsDigit(text[11]) && IsDigit(text[13]) &&
           IsDigit(text[14]);
}

}  // namespace

std::optional<SyslogLine> ParseSyslogLine(std::string_view line) {
    SyslogLine parsed;
    if (line.empty() || line[0] != '<') {
        return std::nullopt;
    }
    size_t at = 1;
    while (at < line.size() && at <= 3 && IsDigit(line[at])) {
        parsed.priority = parsed.priority * 10 + (line[at] - '0');
        ++at;
    }
    if (at == 1 || at >= line.size() || line[at] != '>') {
        return std::nullopt;
    }
    ++at;
    if (!IsTimestamp(line.substr(at, 15)) || line.substr(at + 15, 1) != " ") {
        return std::nullopt;
    }
    parsed.timestamp = std::string(line.substr(at, 15));
    at += 16;
    const size_t tag_start = at;
    while (at < line.size() && IsTagCharacter(line[at])) {
        ++at;
    }
    if (at == tag_start || at - tag_start > 32 || at >= line.size() || line[at] != '[') {
        return std::nullopt;
    }
    parsed.tag = std::string(line.substr(tag_start, at - tag_start));
    const size_t pid_start = ++at;
    while (at < line.size() && IsDigit(line[at]) && at - pid_start < 10) {
        parsed.pid = parsed.pid * 10 + static_cast<uint32_t>(line[at] - '0');
        ++at;
    }
    if (at == pid_start || line.substr(at, 3) != "]: ") {
        return std::nullopt;
    }
    parsed.message = std::string(line.substr(at + 3));
    return parsed;
}

}  // namespace ruzd::testing
