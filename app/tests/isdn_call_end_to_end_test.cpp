// A call from end to end: the node program on the simulated boards in a platform root of its
// own, a central server of the test's own that authorises its file connection, initialises
// the node and starts its workers, and the simulator's control socket as the far end. Every
// event of the call reaches the central server as a device event (message 12), byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "telephony/vendorapi/isdn.h"
#include "testing/command_peer.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

using ruzd::testing::MessagePayload;
using ruzd::testing::Payload;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr int32_t kCNPING = 12;
constexpr int32_t kCCDRCA = 8;
constexpr int32_t kCCACCA = 77;
constexpr int32_t kCCANCA = 78;
constexpr int32_t kCCCLOS = 82;
constexpr int32_t kCCMKCA = 84;
constexpr int32_t kCCOPEN = 85;
constexpr int32_t kCCRLCA = 87;
constexpr int32_t kCCWCAL = 91;
constexpr int32_t kNetworkLine = 3;
constexpr int32_t kAsync = 0x8000;

class IsdnCallEndToEndTest : public testing::InitialisedNodeTest {
protected:
    // No IP boards: Global Call stays stopped and calls run on the ISDN functions.
    void SetUp() override { UseBoards("network 1 30\nip 0 0\n"); }

    // The next device event; fails the test when none comes.
    Payload NextDeviceEvent() {
        std::optional<Payload> event = peer_->ReceiveCode(12, std::chrono::seconds(20));
        EXPECT_TRUE(event.has_value()) << "no device event came";
        return event.value_or(Payload{});
    }

    // A device event without a tail.
    static Payload Event(int32_t handle, int32_t code, int32_t crn) {
        return MessagePayload(12, [=](auto& w) {
            w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(code).WriteInt(crn);
        });
    }
};

TEST_F(IsdnCallEndToEndTest, AnIncomingCallFromOfferToClose) {
    StartAndInitialise();
    peer_->SendInts(kCCOPEN, 10, {1});
    peer_->SendInts(kCCWCAL, 11, {1});
    peer_->SendInts(kCNPING, 12, {79});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    const int32_t handle = HandleOf("dtiB1T1");
    ASSERT_GT(handle, 0);

    ASSERT_EQ(Control("call dtiB1T1 5551000 5552000 ie=1c02aabb"), "OK crn=4097");
    IE_BLK elements{};
    elements.length = 4;
    elements.data[0] = 0x1C;
    elements.data[1] = 0x02;
    elements.data[2] = static_cast<char>(0xAA);
    elements.data[3] = static_cast<char>(0xBB);
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_OFFERED);
                  w.WriteInt(4097).WriteInt(CCST_OFFERED).WriteString("5551000");
                  w.WriteString("5552000").WriteInt(0).WriteLong(sizeof elements);
                  w.WriteBytes(reinterpret_cast<const uint8_t*>(&elements), sizeof elements);
                  w.WriteInt(0);
              }));

    // From here on the call is named by 0, the line device's current call.
    peer_->SendInts(kCCACCA, 13, {1, 0, 2, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_ACCEPT, 4097));
    peer_->SendInts(kCCANCA, 14, {1, 0, 0, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_ANSWERED, 4097));

    ASSERT_EQ(Control("hangup dtiB1T1"), "OK crn=4097");
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_DISCONNECTED);
                  w.WriteInt(4097).WriteInt(CAUSE_NORMAL_CLEARING).WriteInt(0);
              }));
    peer_->SendInts(kCCDRCA, 15, {1, 0, CAUSE_NORMAL_CLEARING, kAsync});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_DROPCALL, 4097));
    peer_->SendInts(kCCRLCA, 16, {1, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_RELEASECALL, 4097));
    peer_->SendInts(kCCCLOS, 17, {1});
    peer_->SendInts(kCNPING, 18, {80});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());

    const std::string line = std::to_string(handle);
    EXPECT_THAT(
        CallControlJournal(),
        ElementsAre(StartsWith("cc_Open(0x"), "cc_SetParm(" + line + ", 30874, 20) = 0",
                    StartsWith("cc_WaitCall(" + line + ", 0x"), "cc_AcceptCall(4097, 2, 32768) = 0",
                    "cc_AnswerCall(4097, 0, 32768) = 0", "cc_DropCall(4097, 16, 32768) = 0",
                    "cc_ReleaseCallEx(4097, 32768) = 0", "cc_Close(" + line + ") = 0"));
    EXPECT_TRUE(node_->WaitForLog("cc_Close ldev=" + line + " RET=0"));
}

TEST_F(IsdnCallEndToEndTest, AnOutgoingCallThatConnects) {
    StartAndInitialise();
    peer_->SendInts(kCCOPEN, 10, {1});
    peer_->SendInts(kCNPING, 11, {79});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    const int32_t handle = HandleOf("dtiB1T1");
    ASSERT_GT(handle, 0);

    peer_->Send(kCCMKCA, 12, [](net::COutputStreamSocket& writer) {
        const std::vector<uint8_t> block(sizeof(MAKECALL_BLK), 0);
        writer.WriteInt(1).WriteLong(0).WriteString("0301234567").WriteInt(30);
        writer.WriteBytes(block.data(), static_cast<int>(block.size()));
    });
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_PROCEEDING, 4097));
    EXPECT_EQ(NextDeviceEvent(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kNetworkLine).WriteInt(handle).WriteInt(CCEV_ALERTING);
                  w.WriteInt(4097).WriteInt(0);
              }));
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_CONNECTED, 4097));

    // The call made is the line device's current call: 0 drops and releases it.
    peer_->SendInts(kCCDRCA, 13, {1, 0, CAUSE_NORMAL_CLEARING, kAsync});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_DROPCALL, 4097));
    peer_->SendInts(kCCRLCA, 14, {1, 0});
    EXPECT_EQ(NextDeviceEvent(), Event(handle, CCEV_RELEASECALL, 4097));
    const std::string line = std::to_string(handle);
    EXPECT_THAT(
        CallControlJournal(),
        ElementsAre(StartsWith("cc_Open(0x"), "cc_SetParm(" + line + ", 30874, 20) = 0",
                    AllOf(StartsWith("cc_MakeCall(" + line + ", 0x"),
                          HasSubstr(", \"0301234567\", 0x"), EndsWith(", 30, 32768) = 0")),
                    "cc_DropCall(4097, 16, 32768) = 0", "cc_ReleaseCallEx(4097, 32768) = 0"));
}

}  // namespace
}  // namespace ruzd::app
