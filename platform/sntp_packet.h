#pragma once

// The 48-byte packet of the Simple Network Time Protocol (RFC 4330) and its timestamps: 32 bits
// of seconds since 1900 and 32 bits of fraction, big-endian.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/clock.h"

namespace ruzd::platform {

inline constexpr size_t kSntpPacketSize = 48;
using SntpPacket = std::array<uint8_t, kSntpPacketSize>;

// The wall time as an NTP timestamp.
uint64_t ToNtpTimestamp(WallTime time);
// An NTP timestamp as wall time. The 32-bit seconds wrap in 2036: a value with the top bit clear
// is taken as after the wrap, which reads every time from 1968 to 2104 right.
WallTime FromNtpTimestamp(uint64_t timestamp);

// A client request (version 4, mode 3) that carries `transmitTime` as its transmit timestamp.
SntpPacket MakeSntpRequest(WallTime transmitTime);

// What a server's answer tells.
struct SntpReply {
    int stratum = 0;
    WallTime receiveTime;   // when the server got the request
    WallTime transmitTime;  // when the server sent the answer
};

// The answer in `packet` to the request that carried `requestTimestamp`; none when it is no
// usable answer to that request: too short, not from a server, unsynchronised (leap indicator 3),
// a "kiss of death" (stratum 0) or a stratum above 15, no transmit time, or an originate
// timestamp that is not the request's (a stray or forged packet).
std::optional<SntpReply> ParseSntpReply(std::span<const uint8_t> packet, uint64_t requestTimestamp);

// The local clock's offset from the server, from the four times of one exchange.
std::chrono::nanoseconds SntpClockOffset(WallTime requestSent, const SntpReply& reply,
                                         WallTime replyReceived);

}  // namespace ruzd::platform
