#include "net/peer_time.h"

#include <chrono>
#include <cstdlib>

#include "platform/text.h"

namespace ruzd::net {
namespace {

using std::chrono::sys_days;

// The years a peer's time may name.
constexpr int32_t kFirstPeerYear = 1970;
constexpr int32_t kLastPeerYear = 2199;

// 100-nanosecond intervals from 1601-01-01 to 1970-01-01.
constexpr int64_t kFileTimeEpochOffset = 11644473600LL * 10000000LL;

// A field of decimal digits at a fixed position, with an optional leading sign.
bool ReadField(std::string_view text, size_t at, size_t length, int32_t& value) {
    if (text.size() < at + length) {
        return false;
    }
    std::string_view field = text.substr(at, length);
    bool negative = false;
    if (field[0] == '+' || field[0] == '-') {
        negative = field[0] == '-';
        field.remove_prefix(1);
    }
    if (field.empty()) {
        return false;
    }
    int32_t number = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + (c - '0');
    }
    value = negative ? -number : number;
    return true;
}

}  // namespace

std::string FormatIsoLocalTime(platform::WallTime utc, int32_t utcMinusLocalMinutes) {
    const auto day = std::chrono::floor<std::chrono::days>(utc);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss clock{std::chrono::floor<std::chrono::seconds>(utc - day)};
    return platform::Format(
        "%04d-%02u-%02uT%02ld:%02ld:%02ld%+03d:%02d", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
        static_cast<long>(clock.seconds().count()), utcMinusLocalMinutes / 60,
        std::abs(utcMinusLocalMinutes % 60));
}

std::optional<PeerTime> ParseIsoTime(std::string_view text) {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int32_t offsetHours = 0, offsetMinutes = 0;
    if (!ReadField(text, 0, 4, year) || !ReadField(text, 5, 2, month) ||
        !ReadField(text, 8, 2, day) || !ReadField(text, 11, 2, hour) ||
        !ReadField(text, 14, 2, minute) || !ReadField(text, 17, 2, second) ||
        !ReadField(text, 19, 3, offsetHours) || !ReadField(text, 23, 2, offsetMinutes)) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(year),
                                           std::chrono::month(static_cast<unsigned>(month)),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok() || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    // The clock counts nanoseconds in 64 bits, about 292 years either side of 1970, and a peer's
    // time is compared with the node's: years outside these would overflow on the way.
    if (year < kFirstPeerYear || year > kLastPeerYear) {
        return std::nullopt;
    }
    PeerTime time;
    time.utc = sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
               std::chrono::seconds(second);
    const bool west = text[19] == '-';
    time.utcMinusLocalMinutes = offsetHours * 60 + (west ? -offsetMinutes : offsetMinutes);
    return time;
}

uint64_t ToFileTime(platform::WallTime time) {
    const int64_t ticks =
        std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count() * 10;
    return static_cast<uint64_t>(ticks + kFileTimeEpochOffset);
}

std::string FormatHeartbeatStamp(uint64_t fileTime) {
    return platform::Format("%010u%010u", static_cast<uint32_t>(fileTime >> 32),
                            static_cast<uint32_t>(fileTime));
}

std::optional<uint64_t> ParseHeartbeatStamp(std::string_view stamp) {
    if (stamp.size() != 20) {
        return std::nullopt;
    }
    uint64_t halves[2] = {0, 0};
    for (size_t i = 0; i < 20; ++i) {
        const char c = stamp[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        uint64_t& half = halves[i / 10];
        half = half * 10 + static_cast<uint64_t>(c - '0');
    }
    if (halves[0] > 0xFFFFFFFFu || halves[1] > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return (halves[0] << 32) | halves[1];
}

}  // namespace ruzd::net
