#include "platform/sntp_packet.h"

namespace ruzd::platform {
namespace {

// Seconds from 1900-01-01 to 1970-01-01.
constexpr int64_t kNtpToUnixSeconds = 2208988800LL;
constexpr int64_t kNtpEraSeconds = int64_t{1} << 32;
constexpr uint8_t kVersion4ClientMode = (4 << 3) | 3;
constexpr int kModeServer = 4;
constexpr int kLeapAlarm = 3;
constexpr int kHighestStratum = 15;

uint64_t ReadTimestamp(std::span<const uint8_t> packet, size_t at) {
    uint64_t value = 0;
    for (size_t i = 0; i < 8; ++i) {
        value = (value << 8) | packet[at + i];
    }
    return value;
}

void WriteTimestamp(SntpPacket& packet, size_t at, uint64_t value) {
    for (size_t i = 0; i < 8; ++i) {
        packet[at + 7 - i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

constexpr size_t kOriginateAt = 24;
constexpr size_t kReceiveAt = 32;
constexpr size_t kTransmitAt = 40;

}  // namespace

uint64_t ToNtpTimestamp(WallTime time) {
    const auto since_unix =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    int64_t seconds = since_unix / 1'000'000'000 + kNtpToUnixSeconds;
    int64_t nanos = since_unix % 1'000'000'000;
    if (nanos < 0) {
        nanos += 1'000'000'000;
        --seconds;
    }
    const uint64_t fraction = (static_cast<uint64_t>(nanos) << 32) / 1'000'000'000;
    return (static_cast<uint64_t>(seconds) << 32) | fraction;
}

WallTime FromNtpTimestamp(uint64_t timestamp) {
    int64_t seconds = static_cast<int64_t>(timestamp >> 32);
    if ((seconds & 0x80000000LL) == 0) {
        seconds += kNtpEraSeconds;
    }
    const uint64_t nanos = ((timestamp & 0xFFFFFFFFULL) * 1'000'000'000ULL) >> 32;
    return WallTime(std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(seconds - kNtpToUnixSeconds) +
        std::chrono::nanoseconds(static_cast<int64_t>(nanos))));
}

SntpPacket MakeSntpRequest(WallTime transmitTime) {
    SntpPacket packet{};
    packet[0] = kVersion4ClientMode;
    WriteTimestamp(packet, kTransmitAt, ToNtpTimestamp(transmitTime));
    return packet;
}

std::optional<SntpReply> ParseSntpReply(std::span<const uint8_t> packet,
                                        uint64_t requestTimestamp) {
    if (packet.size() < kSntpPacketSize) {
        return std::nullopt;
    }
    const int leap = packet[0] >> 6;
    const int mode = packet[0] & 0x7;
    const int stratum = packet[1];
    if (mode != kModeServer || leap == kLeapAlarm || stratum == 0 || stratum > kHighestStratum) {
        return std::nullopt;
    }
    if (ReadTimestamp(packet, kOriginateAt) != requestTimestamp) {
        return std::nullopt;
    }
    const uint64_t transmit = ReadTimestamp(packet, kTransmitAt);
    if (transmit == 0) {
        return std::nullopt;
    }
    SntpReply reply;
    reply.stratum = stratum;
    reply.transmitTime = FromNtpTimestamp(transmit);
    const uint64_t receive = ReadTimestamp(packet, kReceiveAt);
    // A server that leaves the receive time out is taken to have answered at once.
    reply.receiveTime = receive != 0 ? FromNtpTimestamp(receive) : reply.transmitTime;
    return reply;
}

std::chrono::nanoseconds SntpClockOffset(WallTime requestSent, const SntpReply& reply,
                                         WallTime replyReceived) {
    using std::chrono::nanoseconds;
    const auto there = std::chrono::duration_cast<nanoseconds>(reply.receiveTime - requestSent);
    const auto back = std::chrono::duration_cast<nanoseconds>(reply.transmitTime - replyReceived);
    return (there + back) / 2;
}

}  // namespace ruzd::platform
