// A voice channel's audio as RTP from end to end: the node program on the simulated boards, a
// central server of the test's own that opens the channel and streams it to its own UDP
// receiver, and the boards' control socket handing the channel's audio over a block at a time.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "testing/initialised_node.h"
#include "testing/rtp_receiver.h"

namespace ruzd::app {
namespace {

using ruzd::testing::MessagePayload;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kDXOPEN = 45;
constexpr int32_t kSIREGI = 161;
constexpr int32_t kRTSTAR = 162;
constexpr int32_t kRTSTOP = 163;
constexpr int32_t kRTCLEA = 164;
constexpr uint32_t kLdev = 1;

// SIREGI with the five texts, and the expiry when one is given.
void SendRegistration(testing::CommandPeer& peer, int32_t request,
                      std::optional<int32_t> expiry = std::nullopt) {
    peer.Send(kSIREGI, request, [&](net::COutputStreamSocket& w) {
        w.WriteLong(request).WriteString("sip.example").WriteString("example");
        w.WriteString("agent").WriteString("secret").WriteString("127.0.0.1");
        if (expiry) {
            w.WriteInt(*expiry);
        }
    });
}

class RtpStreamEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("voice 1 4\nip 0 0\nspeed 1\n"); }

    void OpenChannel() {
        peer_->SendInts(kDXOPEN, 10, {static_cast<int32_t>(kLdev), 1, 1});
        ASSERT_TRUE(peer_->ReceiveCode(8).has_value());
        // Blocks come only when the test steps them.
        ASSERT_EQ(Control("media hold"), "OK");
    }

    void SendStart(uint32_t ldev, int32_t port, const std::string& address = "127.0.0.1") {
        peer_->Send(kRTSTAR, 20, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(ldev).WriteString(address).WriteLong(port);
        });
    }
    void SendLdev(int32_t code, uint32_t ldev) {
        peer_->Send(code, 21, [&](net::COutputStreamSocket& w) { w.WriteUInt(ldev); });
    }

    std::string Step(int blocks) {
        return Control("media step dxxxB1C1 " + std::to_string(blocks));
    }

    // One block delivered gives one packet that passes the stream's checks.
    void StepAndCheck(testing::RtpStreamCheck& stream) {
        ASSERT_EQ(Step(1), "OK delivered=1");
        const std::optional<testing::RtpPacket> packet = receiver_.Next();
        ASSERT_TRUE(packet) << "no packet for block " << stream.packets();
        EXPECT_TRUE(stream.Check(*packet));
    }

    testing::RtpReceiver receiver_;
};

TEST_F(RtpStreamEndToEndTest, BlocksBecomePacketsUntilStoppedAndACleanStreamStartsAgainAtZero) {
    ASSERT_NO_FATAL_FAILURE(StartAndInitialise());
    ASSERT_NO_FATAL_FAILURE(OpenChannel());
    SendStart(kLdev, receiver_.port());
    Settle();
    EXPECT_THAT(Control("query stream dxxxB1C1"), HasSubstr("state=streaming"));

    testing::RtpStreamCheck first;
    for (int block = 0; block < 20; ++block) {
        ASSERT_NO_FATAL_FAILURE(StepAndCheck(first));
    }
    // A second start leaves the running stream alone: its numbering goes on.
    SendStart(kLdev, receiver_.port());
    Settle();
    ASSERT_NO_FATAL_FAILURE(StepAndCheck(first));

    // Stopped: the board delivers nothing more, and a start without a clean-up starts nothing.
    SendLdev(kRTSTOP, kLdev);
    Settle();
    EXPECT_EQ(Step(5), "OK delivered=0");
    SendStart(kLdev, receiver_.port());
    Settle();
    EXPECT_EQ(Step(5), "OK delivered=0");

    // Cleaned up and started again: a new sender, whose first packet is the first to come.
    SendLdev(kRTCLEA, kLdev);
    SendStart(kLdev, receiver_.port());
    Settle();
    testing::RtpStreamCheck second;
    for (int block = 0; block < 3; ++block) {
        ASSERT_NO_FATAL_FAILURE(StepAndCheck(second));
    }

    EXPECT_TRUE(node_->WaitForLog("Started RTP Stream to 127.0.0.1 on port " +
                                  std::to_string(receiver_.port())));
    EXPECT_TRUE(node_->WaitForLog("Stopped RTP Stream"));
    EXPECT_TRUE(node_->WaitForLog("Cleanup RTP Stream"));
    EXPECT_EQ(CountCalls("ec_setparm"), 6u);

    // The central server goes: its streams stop and go with it.
    peer_.reset();
    ASSERT_TRUE(node_->WaitForLog("SafeCloseAllChannels"));
    ASSERT_TRUE(node_->WaitForLog("dx_close ldev=1"));
    EXPECT_THAT(Journal(), Contains(HasSubstr("libecmt ec_stopch(")));
    EXPECT_THAT(Control("query stream #1"), HasSubstr("no open voice channel"));
    EXPECT_EQ(Control("media step * 3"), "OK delivered=0");
}

TEST_F(RtpStreamEndToEndTest, UnknownChannelsBadPortsAndBadAddressesStartNothing) {
    ASSERT_NO_FATAL_FAILURE(StartAndInitialise());
    ASSERT_NO_FATAL_FAILURE(OpenChannel());
    SendStart(7, receiver_.port());
    SendLdev(kRTSTOP, 7);
    SendLdev(kRTCLEA, 7);
    SendStart(kLdev, 70000);
    SendStart(kLdev, 0);
    SendStart(kLdev, receiver_.port(), "central.example");
    SendStart(kLdev, receiver_.port(), "127.0.0.256");
    SendStart(kLdev, receiver_.port(), "");
    Settle();
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream ldev=UNKNOWN RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StopRTPStream ldev=UNKNOWN RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("CleanupRTPStream ldev=UNKNOWN RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream port=70000 RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream port=0 RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream address=central.example RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream address=127.0.0.256 RET=ERROR"));
    EXPECT_TRUE(node_->WaitForLog("StartRTPStream address= RET=ERROR"));
    EXPECT_EQ(CountCalls("ec_stream"), 0u);
    EXPECT_THAT(Control("query stream dxxxB1C1"), Not(HasSubstr("state=streaming")));
}

TEST_F(RtpStreamEndToEndTest, OnlyFourDottedNumbersThatNameAHostStartAStream) {
    ASSERT_NO_FATAL_FAILURE(StartAndInitialise());
    ASSERT_NO_FATAL_FAILURE(OpenChannel());
    // Short and numeric forms, leading zeros (once octal), blanks around it, numbers past 255,
    // and 0.0.0.0, which names no host.
    const std::vector<std::string> refused = {"1",        "1.2",        "1.2.3",    "2130706433",
                                              "127.1",    "0x7f.0.0.1", "01.2.3.4", "256.1.1.1",
                                              "1.2.3.4 ", " 127.0.0.1", "0.0.0.0",  "1.2.3.4.5"};
    for (const std::string& address : refused) {
        SendStart(kLdev, receiver_.port(), address);
    }
    Settle();
    for (const std::string& address : refused) {
        EXPECT_TRUE(node_->WaitForLog("StartRTPStream address=" + address + " RET=ERROR"))
            << address;
    }
    EXPECT_THAT(node_->DebugLog(), Not(HasSubstr("Started RTP Stream")));
    EXPECT_EQ(CountCalls("ec_stream"), 0u);
    EXPECT_THAT(Control("query stream dxxxB1C1"), Not(HasSubstr("state=streaming")));

    // The channel still streams to an address that reads.
    SendStart(kLdev, receiver_.port(), "127.0.0.1");
    Settle();
    EXPECT_THAT(Control("query stream dxxxB1C1"), HasSubstr("state=streaming"));
    testing::RtpStreamCheck stream;
    ASSERT_NO_FATAL_FAILURE(StepAndCheck(stream));
}

TEST_F(RtpStreamEndToEndTest, ARegistrationWithoutIpBoardsIsAnsweredWithoutResults) {
    ASSERT_NO_FATAL_FAILURE(StartAndInitialise());
    SendRegistration(*peer_, 4711);
    const std::optional<testing::Payload> reply = peer_->ReceiveCode(37);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, MessagePayload(37, [](net::COutputStreamSocket& w) {
        w.WriteLong(4711).WriteInt(0).WriteInt(0);
    }));
}

class SipRegistrationEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("voice 1 4\nip 2 2\n"); }
};

TEST_F(SipRegistrationEndToEndTest, EachIpBoardRegistersForAnHourWhenNoExpiryIsGiven) {
    ASSERT_NO_FATAL_FAILURE(StartAndInitialise());
    SendRegistration(*peer_, 4711);
    const std::optional<testing::Payload> reply = peer_->ReceiveCode(37);
    ASSERT_TRUE(reply);
    const std::vector<int32_t> values = testing::LeadingInts(*reply);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values[1], 4711);
    EXPECT_EQ(values[3], 2);
    // The registration record ends with its expiry: 3600 seconds, low byte first.
    EXPECT_THAT(Control("query request " + std::to_string(values[4])),
                AllOf(HasSubstr("device=:P_IP:N_iptB1"), HasSubstr("100e000046000000")));
    EXPECT_THAT(Control("query request " + std::to_string(values[5])),
                AllOf(HasSubstr("device=:P_IP:N_iptB2"), HasSubstr("100e000046000000")));

    // With an expiry of its own.
    SendRegistration(*peer_, 4712, 60);
    const std::optional<testing::Payload> second = peer_->ReceiveCode(37);
    ASSERT_TRUE(second);
    const std::vector<int32_t> again = testing::LeadingInts(*second);
    ASSERT_EQ(again.size(), 6u);
    EXPECT_THAT(Control("query request " + std::to_string(again[4])),
                HasSubstr("3c00000046000000"));
}

}  // namespace
}  // namespace ruzd::app
