// The text-command socket over real loopback connections: the handshake on both sides, the
// dispatch rules, binary blocks, the built-in commands and the send queue. The peer is either a
// second CAsyncSocketEx or an independent implementation of the wire format.

#include "net/async_socket_ex.h"

#include <gtest/gtest.h>

#include <nettle/arcfour.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "foundation/time_tools.h"
#include "net/peer_time.h"
#include "net/station_name.h"
#include "net/tests/recording_socket.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/stepped_wall_clock.h"

namespace ruzd::net::filetest {
namespace {

using namespace std::chrono_literals;
using ruzd::testing::Eventually;
using ruzd::testing::FilePeer;
using ruzd::testing::FreePort;
using ruzd::testing::KeyRc4;
using ruzd::testing::SteppedWallClock;

bool Contains(const std::vector<std::string>& events, const std::string& event) {
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::string Wide(const std::string& text) {
    return platform::Utf8ToUtf16leBytes(text);
}

class AsyncSocketExTest : public ::testing::Test {
protected:
    void SetUp() override {
        listener_ = std::make_shared<RecordingSocket>(reactor_.reactor());
        port_ = FreePort();
        ASSERT_TRUE(listener_->CreateSocket(port_, "127.0.0.1"));
        ASSERT_TRUE(listener_->Listen(5));
    }
    void TearDown() override {
        for (size_t i = 0; i < listener_->AcceptedCount(); ++i) {
            listener_->Accepted(i)->CloseFromAnyThread();
        }
        listener_->CloseFromAnyThread();
    }

    // A peer through the handshake, and the node's socket for it.
    std::shared_ptr<RecordingSocket> Connect(FilePeer& peer) {
        EXPECT_TRUE(peer.Connected());
        EXPECT_TRUE(peer.Handshake(false));
        EXPECT_TRUE(Eventually([&] {
            const size_t count = listener_->AcceptedCount();
            return count > 0 &&
                   listener_->Accepted(count - 1)->GetHandshakeState() == kHandshakeDone;
        }));
        return listener_->Accepted(listener_->AcceptedCount() - 1);
    }

    ReactorThread reactor_;
    std::shared_ptr<RecordingSocket> listener_;
    uint16_t port_ = 0;
};

TEST_F(AsyncSocketExTest, AcceptingSideOffersItsSettingsAfterAnEncryptedExchange) {
    listener_->offerEncryption = false;
    listener_->offerCompression = true;
    FilePeer peer(port_);
    const std::optional<std::vector<std::string>> reply = peer.Handshake(false);
    ASSERT_TRUE(reply);
    ASSERT_GE(reply->size(), 3u);
    EXPECT_TRUE(ParseIsoTime((*reply)[0]));
    EXPECT_EQ((*reply)[1], "0");
    EXPECT_EQ((*reply)[2], "1");
    // The peer named its station, so the node names its own when it has one.
    if (const std::optional<std::string> station = GetStationName()) {
        ASSERT_EQ(reply->size(), 4u);
        EXPECT_EQ((*reply)[3], *station);
    }
    ASSERT_TRUE(Eventually([&] {
        return listener_->AcceptedCount() == 1 &&
               listener_->Accepted(0)->GetHandshakeState() == kHandshakeDone;
    }));
    const auto node = listener_->Accepted(0);
    // Each line is one send; none may wait for the acknowledgement of the one before.
    EXPECT_TRUE(ruzd::testing::NoDelayOf(node->PollFd()));
    EXPECT_FALSE(node->IsEncrypted());
    EXPECT_TRUE(node->IsCompressed());
    EXPECT_EQ(node->PeerStation(), "CENTRAL\\SERVER");
    EXPECT_FALSE(node->IsWideText());

    // Already compressed and unencrypted both ways.
    peer.SendText("ECHO compressed\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|compressed"); }));
    node->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 1 00000000010000000002");
}

TEST_F(AsyncSocketExTest, AcceptingTimeSourceSendsItsClockAfterTheAcknowledgement) {
    listener_->timeSource = true;
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Handshake(false));
    const std::optional<std::string> clock = peer.ReadLine();
    ASSERT_TRUE(clock);
    EXPECT_EQ(clock->rfind("TTSYNC ", 0), 0u);
}

TEST_F(AsyncSocketExTest, ParametersAreDecodedCountedAndAuthorised) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText(
        "ECHO a\x0C"
        "b \x08 c\r");
    peer.SendText("ABCDEFGHIJKLMNOPQRSTUV x\r");
    peer.SendText("TTSYNC a b\r");
    peer.SendText("HEARTB\r");
    peer.SendText("CURTIM\r");
    peer.SendText("BLOCK x 3\rabc");
    peer.SendText("AUTH\r");
    peer.SendText("ECHO done\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|done"); }));
    const std::vector<std::string> expected = {
        "ECHO|a b||c",
        "NotFound|ABCDEFGHIJKLMNOP|x",
        "InvalidCount|TTSYNC|a b|-1|2",
        "InvalidCount|HEARTB||1|0",
        "InvalidCount|CURTIM||1|0",
        // The refused command's block is read past, so AUTH is understood.
        "NotAllowed|BLOCK|x 3",
        "AUTH",
        "ECHO|done",
    };
    EXPECT_EQ(node->Events(), expected);
}

TEST_F(AsyncSocketExTest, PlainHandlerGetsItsContextAndTerminatedCopies) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("PLAIN one t\x0Cwo\r");
    peer.SendText("ECHO after\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|after"); }));
    EXPECT_TRUE(Contains(RecordingSocket::PlainCalls(), "PLAIN|7|one|t wo|end"));
}

class BlockTest : public AsyncSocketExTest, public ::testing::WithParamInterface<bool> {};

TEST_P(BlockTest, BlockInThreePiecesReachesItsHandlerOnceAndTheNextLineAfterIt) {
    listener_->offerCompression = GetParam();
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("AUTH\r");
    peer.SendText("BLOCK name 11\rab\rc");
    std::this_thread::sleep_for(20ms);
    peer.SendText("defg");
    std::this_thread::sleep_for(20ms);
    peer.SendText(
        "hij"
        "ECHO after\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|after"); }));
    const std::vector<std::string> expected = {"AUTH", "BLOCK|name|ab\rcdefghij", "ECHO|after"};
    EXPECT_EQ(node->Events(), expected);
}

TEST_P(BlockTest, RefusedBlockLengthsDropTheLineAndAnOversizeBlockIsReadPast) {
    listener_->offerCompression = GetParam();
    listener_->maximumBlock = 8;
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("AUTH\r");
    peer.SendText("BLOCK a -1\r");
    peer.SendText("BLOCK b x\r");
    peer.SendText("BLOCK c 20\r0123456789\r\r\r3456789");
    peer.SendText("BLOCK d 8\r01234567");
    peer.SendText("ECHO after\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|after"); }));
    const std::vector<std::string> expected = {
        "AUTH",
        "Error|BLOCK|a -1|Refused block length '-1'",
        "Error|BLOCK|b x|Refused block length 'x'",
        "Error|BLOCK|c 20|Refused block length '20'",
        "BLOCK|d|01234567",
        "ECHO|after",
    };
    EXPECT_EQ(node->Events(), expected);
}

TEST_P(BlockTest, LargeMessagesGrowTheLineBufferAndKeepEveryByte) {
    listener_->offerCompression = GetParam();
    FilePeer peer(port_);
    const auto node = Connect(peer);
    // Nearly the longest line taken, twice the buffer's first size.
    std::string word(65000, 'w');
    for (size_t i = 0; i < word.size(); i += 7) {
        word[i] = static_cast<char>('a' + i % 26);
    }
    peer.SendText("ECHO " + word + "\rECHO tail\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|tail"); }));
    EXPECT_EQ(node->Events().front(), "ECHO|" + word);
}

INSTANTIATE_TEST_SUITE_P(Compression, BlockTest, ::testing::Bool());

class TurnTest : public AsyncSocketExTest, public ::testing::WithParamInterface<bool> {
protected:
    // The most "ECHO" lines one turn of `node` handled, once it has handled `count` of them,
    // each once and in the order they came.
    static size_t MostLinesInATurn(const RecordingSocket& node, size_t count) {
        size_t most = 0;
        size_t echoes = 0;
        size_t turn = 0;
        for (const std::string& event : node.Events()) {
            if (event == "TURN") {
                turn = 0;
            } else if (event.rfind("ECHO|", 0) == 0) {
                EXPECT_EQ(event, "ECHO|" + std::to_string(echoes));
                most = std::max(most, ++turn);
                ++echoes;
            }
        }
        EXPECT_EQ(echoes, count);
        return most;
    }

    static std::string EchoLines(size_t count) {
        std::string lines;
        for (size_t line = 0; line < count; ++line) {
            lines += "ECHO " + std::to_string(line) + "\r";
        }
        return lines;
    }
};

TEST_P(TurnTest, AConnectionThatIsNotTrustedHasAFewLinesHandledATurnAndAllOfThemInTheEnd) {
    listener_->offerCompression = GetParam();
    listener_->recordTurns = true;
    FilePeer peer(port_);
    const auto node = Connect(peer);
    // Short lines, far fewer bytes than a turn takes, all in one piece: those the turn leaves
    // are handled in the turns after it, though nothing more arrives.
    constexpr size_t kLines = 1000;
    peer.SendText(EchoLines(kLines));
    ASSERT_TRUE(
        Eventually([&] { return Contains(node->Events(), "ECHO|" + std::to_string(kLines - 1)); }));
    EXPECT_LE(MostLinesInATurn(*node, kLines), CAsyncSocketEx::kStrangerTurnLines);
}

TEST_P(TurnTest, TheTrustedConnectionHasWhatCameHandledInLongTurns) {
    listener_->offerCompression = GetParam();
    listener_->recordTurns = true;
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("AUTH\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "AUTH"); }));
    constexpr size_t kLines = 1000;
    peer.SendText(EchoLines(kLines));
    ASSERT_TRUE(
        Eventually([&] { return Contains(node->Events(), "ECHO|" + std::to_string(kLines - 1)); }));
    EXPECT_GT(MostLinesInATurn(*node, kLines), CAsyncSocketEx::kStrangerTurnLines);
}

INSTANTIATE_TEST_SUITE_P(Compression, TurnTest, ::testing::Bool());

TEST_F(AsyncSocketExTest, HandlerExceptionsAreReportedAndTheConnectionGoesOn) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("THROW x\rECHO lost\r");
    ASSERT_TRUE(Eventually([&] { return !node->Events().empty(); }));
    peer.SendText("ECHO kept\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|kept"); }));
    // The buffer is emptied after the failure: what came with the failing line is gone.
    const std::vector<std::string> expected = {"Error|THROW|x|boom", "ECHO|kept"};
    EXPECT_EQ(node->Events(), expected);
}

TEST_F(AsyncSocketExTest, HeartbeatRequestIsEchoedAndAReplyGivesTheRoundTrip) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(peer.ReadLine(), "HEARTB 0 00000000010000000002");
    peer.SendText("HEARTB 1\r");
    const std::optional<std::string> fresh = peer.ReadLine();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->size(), std::string("HEARTB 0 ").size() + 20);

    platform::ManualClock clock(std::chrono::sys_days(std::chrono::year(2026) / 12 / 8) + 8h);
    platform::ScopedClockOverride installed(clock);
    const uint64_t sent = ToFileTime(clock.Now() - 1234ms);
    peer.SendText("HEARTB 0 " + FormatHeartbeatStamp(sent) + "\r");
    peer.SendText("HEARTB 0 123\r");
    peer.SendText("ECHO done\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|done"); }));
    const std::vector<std::string> expected = {"RoundTrip|1234", "ECHO|done"};
    EXPECT_EQ(node->Events(), expected);
}

TEST_F(AsyncSocketExTest, ClockRequestIsAnsweredAndThePeersClockBecomesTheShift) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    foundation::TimeTools::ResetServerTimeShift();
    peer.SendText("TTSYNC\r");
    const std::optional<std::string> answer = peer.ReadLine();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->rfind("TTSYNC ", 0), 0u);
    EXPECT_EQ(answer->size(), std::string("TTSYNC 2026-12-08T07:55:27+03600").size());

    peer.SendText("TTSYNC 2001-01-01T00:00:00+00000\r");
    peer.SendText("CURTIM 2001-01-01T00:00:30+01:00\r");
    peer.SendText("ECHO done\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|done"); }));
    EXPECT_TRUE(foundation::TimeTools::IsServerTimeShiftActive());
    EXPECT_GT(foundation::TimeTools::GetServerTimeShift(), 700000000);
    EXPECT_LT(node->PeerClock().differenceSeconds, -700000000);
    EXPECT_EQ(node->PeerClock().utcMinusLocalMinutes, 60);
    foundation::TimeTools::ResetServerTimeShift();
}

TEST_F(AsyncSocketExTest, SilentPeerLeavesTheConnectionWithItsConfiguredSettings) {
    FilePeer peer(port_);
    ASSERT_TRUE(peer.Connected());
    ASSERT_TRUE(Eventually([&] {
        return listener_->AcceptedCount() == 1 &&
               listener_->Accepted(0)->GetHandshakeState() == kHandshakeFailed;
    }));
    const auto node = listener_->Accepted(0);
    EXPECT_FALSE(node->IsEncrypted());
    EXPECT_FALSE(node->IsCompressed());
    // Plain lines work from now on.
    peer.SetSettings(false, false);
    peer.SendText("ECHO plain\r");
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|plain"); }));
}

TEST_F(AsyncSocketExTest, WideTextIsDetectedAndASplitTerminatorWaitsForItsSecondByte) {
    FilePeer peer(port_);
    peer.SetSettings(true, false);
    peer.SendText(Wide("CNPROP 2026-12-08T08:05:10+00:00\r"));
    // The answer comes in UTF-16 too.
    const std::optional<std::vector<uint8_t>> start = peer.ReadBytes(14);
    ASSERT_TRUE(start);
    EXPECT_EQ(std::string(start->begin(), start->end()), Wide("CNPROP "));
    peer.SendText(Wide("CNPROP\r"));
    ASSERT_TRUE(Eventually([&] {
        return listener_->AcceptedCount() == 1 &&
               listener_->Accepted(0)->GetHandshakeState() == kHandshakeDone;
    }));
    const auto node = listener_->Accepted(0);
    EXPECT_TRUE(node->IsWideText());

    peer.SetSettings(true, false);
    const std::string line = Wide("ECHO wide\r");
    peer.SendText(line.substr(0, line.size() - 1));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(node->Events().empty());
    peer.SendText(line.substr(line.size() - 1));
    ASSERT_TRUE(Eventually([&] { return Contains(node->Events(), "ECHO|wide"); }));
    EXPECT_EQ(node->Events().size(), 1u);
}

TEST_F(AsyncSocketExTest, WhatTheNetworkDoesNotTakeWaitsInTheSendQueue) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    std::vector<uint8_t> big(16 << 20);
    std::mt19937 generator(5);
    for (uint8_t& byte : big) {
        byte = static_cast<uint8_t>(generator());
    }
    ASSERT_TRUE(node->SendRaw(big.data(), big.size()));
    EXPECT_GT(node->QueuedBytes(), 0u);
    // A second message queues behind the first, whole.
    const std::string tail = "ECHO tail\r";
    ASSERT_TRUE(node->SendText(tail));
    const std::optional<std::vector<uint8_t>> received = peer.ReadBytes(big.size());
    ASSERT_TRUE(received);
    EXPECT_TRUE(*received == big);
    EXPECT_EQ(peer.ReadLine(), "ECHO tail");
    EXPECT_TRUE(Eventually([&] { return node->QueuedBytes() == 0; }));
}

TEST_F(AsyncSocketExTest, PeerCloseRunsOnCloseAndLaterSendsAreDropped) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.Close();
    ASSERT_TRUE(Eventually([&] { return node->closes() == 1; }));
    EXPECT_FALSE(node->IsOpen());
    EXPECT_EQ(node->GetHandshakeState(), kHandshakeNone);
    EXPECT_FALSE(node->SendText("ECHO x\r"));
}

TEST_F(AsyncSocketExTest, AbortStopsTheProcessingOfWhatCameWithIt) {
    FilePeer peer(port_);
    const auto node = Connect(peer);
    peer.SendText("ABORT\rECHO same\r");
    // The line that came with the abort stays and is read with the next data.
    ASSERT_TRUE(Eventually([&] {
        peer.SendText("ECHO poke\r");
        std::this_thread::sleep_for(10ms);
        return Contains(node->Events(), "ECHO|same");
    }));
    EXPECT_EQ(node->Events().front(), "ECHO|same");
}

TEST(AsyncSocketExConnecting, FirstCnpropIsTheRc4OfItsTextUnderTheMd5Key) {
    ReactorThread reactor;
    const char* previousZone = std::getenv("TZ");
    const std::string savedZone = previousZone != nullptr ? previousZone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    SteppedWallClock clock(std::chrono::sys_days(std::chrono::year(2026) / 12 / 8) + 8h + 5min +
                           10s);
    platform::ScopedClockOverride installed(clock);

    ruzd::testing::RawListener server;
    ASSERT_TRUE(server.valid());
    auto client = std::make_shared<RecordingSocket>(reactor.reactor());
    client->UseNarrowText();
    ASSERT_TRUE(client->CreateSocket(0));
    client->ConnectTo("127.0.0.1", server.port());
    ruzd::testing::RawConnection connection = server.Accept();
    ASSERT_TRUE(connection.valid());

    std::string expected = "CNPROP 2026-12-08T08:05:10+00:00";
    if (const std::optional<std::string> station = GetStationName()) {
        expected += " " + *station;
    }
    expected += "\r";
    const std::vector<uint8_t> wire = connection.Read(expected.size());
    std::vector<uint8_t> independent(expected.begin(), expected.end());
    arcfour_ctx cipher;
    KeyRc4(cipher);
    arcfour_crypt(&cipher, independent.size(), independent.data(), independent.data());
    EXPECT_EQ(wire, independent);

    connection.Close();
    server.Close();
    ASSERT_TRUE(Eventually([&] { return client->closes() == 1; }));
    if (previousZone != nullptr) {
        setenv("TZ", savedZone.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(AsyncSocketExConnecting, TwoSocketsAgreeOnCompressionAndCarryAMegabyteBlock) {
    ReactorThread serverReactor;
    ReactorThread clientReactor;
    auto listener = std::make_shared<RecordingSocket>(serverReactor.reactor());
    listener->offerEncryption = true;
    listener->offerCompression = true;
    const uint16_t port = FreePort();
    ASSERT_TRUE(listener->CreateSocket(port, "127.0.0.1"));
    ASSERT_TRUE(listener->Listen(5));

    auto client = std::make_shared<RecordingSocket>(clientReactor.reactor());
    ASSERT_TRUE(client->CreateSocket(0));
    client->ConnectTo("127.0.0.1", port);
    ASSERT_TRUE(Eventually([&] { return client->GetHandshakeState() == kHandshakeDone; }));
    ASSERT_TRUE(Eventually([&] {
        return listener->AcceptedCount() == 1 &&
               listener->Accepted(0)->GetHandshakeState() == kHandshakeDone;
    }));
    const auto server = listener->Accepted(0);
    EXPECT_TRUE(client->IsEncrypted());
    EXPECT_TRUE(client->IsCompressed());
    EXPECT_TRUE(server->IsEncrypted());
    EXPECT_TRUE(server->IsCompressed());
    // The base class speaks UTF-16 and the other side detected it.
    EXPECT_TRUE(server->IsWideText());

    std::string block(1 << 20, '\0');
    std::mt19937 generator(11);
    for (char& c : block) {
        c = static_cast<char>('a' + generator() % 26);
    }
    client->SendText("AUTH\r");
    client->SendText("BLOCK big " + std::to_string(block.size()) + "\r");
    client->SendRaw(reinterpret_cast<const uint8_t*>(block.data()), block.size());
    client->SendText("ECHO after\r");
    ASSERT_TRUE(Eventually([&] { return Contains(server->Events(), "ECHO|after"); }));
    EXPECT_TRUE(Contains(server->Events(), "BLOCK|big|" + block));
    EXPECT_GT(client->GetSendCompressionRatio(), 1.0);
    EXPECT_EQ(client->GetSentBytes(false), server->GetReceivedBytes(false));

    client->CloseFromAnyThread();
    ASSERT_TRUE(Eventually([&] { return server->closes() == 1; }));
    listener->CloseFromAnyThread();
}

}  // namespace
}  // namespace ruzd::net::filetest
