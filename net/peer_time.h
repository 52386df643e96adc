#pragma once

// The time texts the two ends of a text socket exchange: the handshake's ISO time with the
// sender's zone offset, and the heartbeat's Windows file time as two 10-digit halves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace ruzd::net {

// "2026-12-08T08:05:10-01:00": the UTC date and time, then UTC minus local time as signed
// whole hours (at least two digits) and the remaining minutes without sign, so a machine one
// hour east of UTC writes -01:00.
std::string FormatIsoLocalTime(platform::WallTime utc, int32_t utcMinusLocalMinutes);

struct PeerTime {
    platform::WallTime utc;
    // UTC minus local time of the peer, in minutes.
    int32_t utcMinusLocalMinutes = 0;
};

// Reads a text of FormatIsoLocalTime by the fixed character positions of its fields (the
// offset's hours with their sign at 19-21, its minutes after the colon at 23-24); none when
// the text is shorter or a field is not a number or not a valid date and time.
std::optional<PeerTime> ParseIsoTime(std::string_view text);

// What the last time text of the peer said about its clock: its time minus ours in whole
// seconds, and its zone offset. Only recorded.
struct PeerClockRecord {
    int64_t differenceSeconds = 0;
    int32_t utcMinusLocalMinutes = 0;
};

// 100-nanosecond intervals since 1 January 1601 UTC, as Windows keeps file times.
uint64_t ToFileTime(platform::WallTime time);

// The heartbeat's time stamp: the high and the low 32 bits of the file time, each as ten
// decimal digits.
std::string FormatHeartbeatStamp(uint64_t fileTime);
// The file time of a heartbeat stamp; none unless it is exactly 20 digits.
std::optional<uint64_t> ParseHeartbeatStamp(std::string_view stamp);

}  // namespace ruzd::net
