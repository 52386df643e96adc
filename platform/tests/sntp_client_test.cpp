#include "platform/sntp_client.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "platform/sntp_packet.h"
#include "testing/sntp_test_server.h"

namespace ruzd::platform {
namespace {

using namespace std::chrono_literals;
using ruzd::testing::SntpTestServer;

WallTime At(int64_t unixSeconds, int64_t micros = 0) {
    return WallTime(std::chrono::seconds(unixSeconds) + std::chrono::microseconds(micros));
}

TEST(SntpPacketTest, TimestampsRoundTripAcrossTheEraWrap) {
    // 1970, 2024, one second before and after the 32-bit seconds wrap in February 2036, 2100.
    for (const int64_t seconds : {int64_t{0}, int64_t{1704067200}, int64_t{2085978495},
                                  int64_t{2085978497}, int64_t{4102444800}}) {
        const WallTime time = At(seconds, 250000);
        const WallTime back = FromNtpTimestamp(ToNtpTimestamp(time));
        EXPECT_LE(std::chrono::abs(back - time), 1us) << seconds;
    }
    EXPECT_EQ(ToNtpTimestamp(At(0)), uint64_t{2208988800} << 32);
    EXPECT_EQ(ToNtpTimestamp(At(0, 500000)), (uint64_t{2208988800} << 32) | 0x80000000u);
}

TEST(SntpPacketTest, RequestIsVersion4ClientWithItsSendTime) {
    const SntpPacket request = MakeSntpRequest(At(1704067200));
    EXPECT_EQ(request[0], 0x23);
    uint64_t transmit = 0;
    for (int i = 40; i < 48; ++i) {
        transmit = (transmit << 8) | request[i];
    }
    EXPECT_EQ(transmit, ToNtpTimestamp(At(1704067200)));
}

SntpPacket Answer(uint64_t originate, uint8_t first = 0x24, uint8_t stratum = 2) {
    SntpPacket packet{};
    packet[0] = first;
    packet[1] = stratum;
    const uint64_t now = ToNtpTimestamp(At(1893456000));
    for (int i = 0; i < 8; ++i) {
        packet[31 - i] = static_cast<uint8_t>(originate >> (8 * i));
        packet[39 - i] = static_cast<uint8_t>(now >> (8 * i));
        packet[47 - i] = static_cast<uint8_t>(now >> (8 * i));
    }
    return packet;
}

TEST(SntpPacketTest, OnlyAProperAnswerToTheRequestIsBelieved) {
    const uint64_t origin = ToNtpTimestamp(At(1704067200));
    const auto reply = ParseSntpReply(Answer(origin), origin);
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->transmitTime, At(1893456000));
    EXPECT_EQ(reply->stratum, 2);

    EXPECT_FALSE(ParseSntpReply(Answer(origin + 1), origin)) << "another request's answer";
    EXPECT_FALSE(ParseSntpReply(Answer(origin, 0x23), origin)) << "client mode";
    EXPECT_FALSE(ParseSntpReply(Answer(origin, 0xE4), origin)) << "unsynchronised server";
    EXPECT_FALSE(ParseSntpReply(Answer(origin, 0x24, 0), origin)) << "kiss of death";
    EXPECT_FALSE(ParseSntpReply(Answer(origin, 0x24, 16), origin)) << "stratum 16";
    const SntpPacket answer = Answer(origin);
    EXPECT_FALSE(ParseSntpReply(std::span<const uint8_t>(answer.data(), 47), origin));
    SntpPacket noTime = Answer(origin);
    std::fill(noTime.begin() + 40, noTime.end(), 0);
    EXPECT_FALSE(ParseSntpReply(noTime, origin));
}

TEST(SntpPacketTest, OffsetTakesHalfTheRoundTrip) {
    SntpReply reply;
    reply.receiveTime = At(1000, 500000);
    reply.transmitTime = At(1000, 600000);
    // Sent at 10.0 s local and back at 10.2 s: the middle of the server's stay (1000.55 s) is
    // taken to be the middle of the exchange (10.1 s).
    const auto offset = SntpClockOffset(At(10), reply, At(10, 200000));
    EXPECT_EQ(offset, std::chrono::nanoseconds(At(1000, 550000) - At(10, 100000)));
}

class SntpClientTest : public ::testing::Test {
protected:
    ManualClock clock_{At(1704067200)};
};

TEST_F(SntpClientTest, GetsTheServersTime) {
    SntpTestServer server;
    const SntpResult result = SntpClient("127.0.0.1", server.port(), clock_).Query(5s, 1s);
    ASSERT_TRUE(result.time.has_value()) << result.error;
    EXPECT_EQ(result.time->serverTime, SntpTestServer::DefaultTime());
    // The local clock stood still during the exchange, so the offset is exact.
    EXPECT_EQ(result.time->offset,
              std::chrono::nanoseconds(SntpTestServer::DefaultTime() - clock_.Now()));
    EXPECT_EQ(result.time->stratum, 2);
}

TEST_F(SntpClientTest, PassesOverAStrayAnswerAndTakesTheRealOne) {
    SntpTestServer server(SntpTestServer::Behaviour::kStrayThenAnswer);
    const SntpResult result = SntpClient("127.0.0.1", server.port(), clock_).Query(5s, 1s);
    ASSERT_TRUE(result.time.has_value()) << result.error;
    EXPECT_EQ(result.time->serverTime, SntpTestServer::DefaultTime());
}

TEST_F(SntpClientTest, GivesUpWhenNoUsableAnswerComesAndAsksAgainMeanwhile) {
    for (const auto behaviour :
         {SntpTestServer::Behaviour::kSilent, SntpTestServer::Behaviour::kKissOfDeath,
          SntpTestServer::Behaviour::kWrongOriginate}) {
        SntpTestServer server(behaviour);
        const SntpResult result =
            SntpClient("127.0.0.1", server.port(), clock_).Query(400ms, 100ms);
        EXPECT_FALSE(result.time.has_value());
        EXPECT_EQ(result.error, "no answer from 127.0.0.1 within 400 ms");
        EXPECT_GE(server.requests(), 2);
    }
}

TEST_F(SntpClientTest, AClosedPortIsNoAnswer) {
    uint16_t closedPort = 0;
    {
        SntpTestServer gone;
        closedPort = gone.port();
    }
    const SntpResult result = SntpClient("127.0.0.1", closedPort, clock_).Query(300ms, 100ms);
    EXPECT_FALSE(result.time.has_value());
    EXPECT_EQ(result.error, "no answer from 127.0.0.1 within 300 ms");
}

TEST(SntpPortTest, TheEnvironmentMovesThePort) {
    unsetenv(kSntpPortVariable);
    EXPECT_EQ(SntpPortFromEnvironment(), kSntpPort);
    setenv(kSntpPortVariable, "12345", 1);
    EXPECT_EQ(SntpPortFromEnvironment(), 12345);
    for (const char* bad : {"", "0", "65536", "12x", "-5", " 1"}) {
        setenv(kSntpPortVariable, bad, 1);
        EXPECT_EQ(SntpPortFromEnvironment(), std::nullopt) << bad;
    }
    unsetenv(kSntpPortVariable);
}

}  // namespace
}  // namespace ruzd::platform
