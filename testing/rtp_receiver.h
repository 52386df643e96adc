#pragma once

// The far end of a node's RTP stream: a UDP socket of the test's own on a loopback port, and
// the checks every packet of the stream must pass (RFC 3550 with the node's fixed choices:
// version 2, no padding, extension or contributing sources, marker 0, payload type 8 (A-law),
// 512 bytes of payload, the sequence from 0 without gaps, the timestamp advancing by the
// samples sent, one synchronisation source).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/udp_socket.h"
#include "testing/eventually.h"

namespace ruzd::testing {

struct RtpPacket {
    size_t size = 0;  // of the whole datagram
    uint8_t version = 0;
    bool padding = false;
    bool extension = false;
    uint8_t contributors = 0;
    bool marker = false;
    uint8_t payload_type = 0;
    uint16_t sequence = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    std::vector<uint8_t> payload;
};

inline RtpPacket ParseRtp(const std::vector<uint8_t>& datagram) {
    RtpPacket packet;
    packet.size = datagram.size();
    if (datagram.size() < 12) {
        return packet;
    }
    const auto be = [&](size_t at, int bytes) {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | datagram[at + static_cast<size_t>(i)];
        }
        return value;
    };
    packet.version = datagram[0] >> 6;
    packet.padding = (datagram[0] & 0x20) != 0;
    packet.extension = (datagram[0] & 0x10) != 0;
    packet.contributors = datagram[0] & 0x0F;
    packet.marker = (datagram[1] & 0x80) != 0;
    packet.payload_type = datagram[1] & 0x7F;
    packet.sequence = static_cast<uint16_t>(be(2, 2));
    packet.timestamp = be(4, 4);
    packet.ssrc = be(8, 4);
    packet.payload.assign(datagram.begin() + 12, datagram.end());
    return packet;
}

class RtpReceiver {
public:
    RtpReceiver() {
        EXPECT_TRUE(socket_.Open());
        EXPECT_TRUE(socket_.BindLoopback());
    }

    uint16_t port() const { return socket_.LocalPort(); }

    // The next packet; none when nothing came within the patience.
    std::optional<RtpPacket> Next(std::chrono::milliseconds patience = kPatience) {
        std::optional<std::vector<uint8_t>> datagram = socket_.Receive(patience);
        if (!datagram) {
            return std::nullopt;
        }
        return ParseRtp(*datagram);
    }

private:
    platform::UdpSocket socket_;
};

// Follows one stream from its first packet: sequence and timestamp from 0, one source, and,
// when `counting`, a payload whose bytes count up across packets (byte n is n mod 256).
class RtpStreamCheck {
public:
    explicit RtpStreamCheck(bool counting = true) : counting_(counting) {}

    ::testing::AssertionResult Check(const RtpPacket& packet) {
        if (packet.size != 524 || packet.version != 2 || packet.padding || packet.extension ||
            packet.contributors != 0 || packet.marker || packet.payload_type != 8) {
            return ::testing::AssertionFailure()
                   << "packet " << packets_ << ": size " << packet.size << ", version "
                   << int{packet.version} << ", type " << int{packet.payload_type};
        }
        if (packet.sequence != static_cast<uint16_t>(packets_) ||
            packet.timestamp != static_cast<uint32_t>(packets_ * 512)) {
            return ::testing::AssertionFailure()
                   << "packet " << packets_ << ": sequence " << packet.sequence << ", timestamp "
                   << packet.timestamp;
        }
        if (packets_ > 0 && packet.ssrc != ssrc_) {
            return ::testing::AssertionFailure() << "the source changed to " << packet.ssrc;
        }
        ssrc_ = packet.ssrc;
        for (size_t i = 0; counting_ && i < packet.payload.size(); ++i) {
            if (packet.payload[i] != static_cast<uint8_t>((packets_ * 512 + i) & 0xFF)) {
                return ::testing::AssertionFailure()
                       << "packet " << packets_ << ": payload byte " << i << " broke the count";
            }
        }
        ++packets_;
        return ::testing::AssertionSuccess();
    }

    uint64_t packets() const { return packets_; }

private:
    const bool counting_;
    uint64_t packets_ = 0;
    uint32_t ssrc_ = 0;
};

}  // namespace ruzd::testing
