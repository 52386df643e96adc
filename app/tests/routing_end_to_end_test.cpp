// Routing from end to end: the node program on the simulated boards and a central server of the
// test's own. A caller routed to a voice channel hears the prompt the channel plays, and a route
// to the Amtelco bus reaches the board as its cross-connect text; the board's answer to a ring
// request comes back as message 0.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/crc32.h"
#include "telephony/vendorapi/isdn.h"
#include "telephony/vendorapi/voice.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

using ruzd::testing::LeadingInts;

constexpr int32_t kAMOPEN = 1;
constexpr int32_t kAMRQIN = 4;
constexpr int32_t kDXFOPE = 41;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kDXPIOT = 47;
constexpr int32_t kNRSCRO = 74;
constexpr int32_t kNRSCUR = 75;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kReadBinary = 0x8000;

constexpr int32_t kLine = 1;   // dtiB1T1
constexpr int32_t kVoice = 5;  // dxxxB1C1, pinned to slot 300

class RoutingEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override {
        UseBoards(
            "voice 1 4\nnetwork 1 30\nip 0 0\nspeed 1000\nslot dxxxB1C1 300\namtelcoring 1 0 4\n");
        StartAndInitialise({"-debug", "-d", "-w1"});
    }

    std::vector<int32_t> Next(int32_t code) {
        const std::optional<testing::Payload> payload =
            peer_->ReceiveCode(code, std::chrono::seconds(20));
        EXPECT_TRUE(payload) << "no message " << code;
        return payload ? LeadingInts(*payload) : std::vector<int32_t>{};
    }

    void Route(int32_t code, int32_t dev1, int32_t type1, int32_t dev2, int32_t type2,
               const std::vector<int32_t>& rest) {
        peer_->Send(code, 30, [&](net::COutputStreamSocket& w) {
            w.WriteInt(dev1).WriteInt(type1).WriteInt(dev2).WriteInt(type2);
            for (int32_t value : rest) {
                w.WriteInt(value);
            }
        });
        Settle();
    }

    // The prompt fetched into the node's cache and opened under virtual handle 1.
    void OpenPrompt(const std::string& prompt) {
        peer_->Send(kDXFOPE, 40, [&](net::COutputStreamSocket& w) {
            w.WriteUInt(1).WriteString("C:\\VOX\\PROMPT.VOX").WriteInt(kReadBinary).WriteInt(0x180);
            w.WriteUInt(static_cast<uint32_t>(prompt.size()))
                .WriteUInt(foundation::GetBufferCrc32(prompt.data(), prompt.size()));
        });
        const std::optional<std::string> request = files_->ReadLine();
        ASSERT_TRUE(request && request->rfind("REQFIL ", 0) == 0);
        const size_t idEnd = request->find(' ', 7);
        files_->SendText("TXFILE " + request->substr(7, idEnd - 7) + " 1 0 " +
                         request->substr(request->rfind(' ') + 1) + " " +
                         std::to_string(prompt.size()) + "\r" + prompt);
        EXPECT_EQ(Next(9), (std::vector<int32_t>{9, 1, static_cast<int32_t>(prompt.size())}));
    }
};

TEST_F(RoutingEndToEndTest, ACallerRoutedToAVoiceChannelHearsItsPrompt) {
    // A caller on the network line, answered.
    peer_->SendInts(kCCOPEN, 10, {kLine});
    peer_->SendInts(kCCWCAL, 11, {kLine});
    Settle();
    ASSERT_EQ(Control("call dtiB1T1 5551000 5552000"), "OK crn=4097");
    EXPECT_EQ(Next(12)[4], CCEV_OFFERED);
    peer_->SendInts(kCCANCA, 12, {kLine, 0, 0, 0});
    EXPECT_EQ(Next(12)[4], CCEV_ANSWERED);

    peer_->SendInts(kDXOPEN, 13, {kVoice, 1, 1});
    EXPECT_EQ(Next(8)[1], kVoice);
    std::string prompt(4321, '\0');
    for (size_t i = 0; i < prompt.size(); ++i) {
        prompt[i] = static_cast<char>(i * 13 % 251);
    }
    OpenPrompt(prompt);

    Route(kNRSCRO, kLine, 3, kVoice, 1, {0});
    peer_->Send(kDXPIOT, 14, [](net::COutputStreamSocket& w) {
        w.WriteUInt(kVoice).WriteInt(0);
        w.WriteInt(IO_EOT).WriteInt(1).WriteUInt(0).WriteLong(-1);
        w.WriteInt(IO_EOT).WriteInt(0).WriteInt(0).WriteInt(0).WriteInt(0);
        w.WriteInt(1).WriteInt(0).WriteUInt(0).WriteInt(0);
    });
    EXPECT_EQ(Next(5), (std::vector<int32_t>{5, kVoice, TM_EOD, 4321}));
    EXPECT_EQ(Control("query heard dtiB1T1"),
              "OK bytes=4321 crc=" +
                  std::to_string(foundation::GetBufferCrc32(prompt.data(), prompt.size())));

    Route(kNRSCUR, kLine, 3, kVoice, 1, {0});
    EXPECT_EQ(Control("query routes"), "OK");
    EXPECT_TRUE(node_->WaitForLog("nr_scunroute dev1="));
}

TEST_F(RoutingEndToEndTest, ARouteToTheAmtelcoBusReachesTheBoard) {
    peer_->SendInts(kAMOPEN, 10, {1, 0, 0, 0, 1, 0x42, 1});
    // The board acknowledges the node's identification.
    EXPECT_EQ(Next(0), (std::vector<int32_t>{0, 0, 0, -1}));

    peer_->SendInts(kDXOPEN, 11, {kVoice, 1, 1});
    EXPECT_EQ(Next(8)[1], kVoice);
    Route(kNRSCRO, kVoice, 1, 5, 999, {0, 70, 0, 0});
    EXPECT_TRUE(ruzd::testing::Eventually([this] {
        return Control("query amtelco 1").ends_with("|XC077A022C00050106");
    })) << Control("query amtelco 1");
    EXPECT_EQ(Control("query listen dxxxB1C1"), "OK slot=1018 hears=none");

    peer_->SendInts(kAMRQIN, 12, {1, 0, 0x1018});
    EXPECT_EQ(Next(0), (std::vector<int32_t>{0, 0, 5, 4}));
}

}  // namespace
}  // namespace ruzd::app
