// Calls through Global Call on an IP channel from end to end: the node program on simulated
// boards with one IP board, a central server of the test's own that initialises the node and
// starts its workers, and the simulator's control socket as the far end. Every message the
// central server gets is compared byte for byte.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/input_stream_socket.h"
#include "telephony/vendorapi/globalcall.h"
#include "telephony/vendorapi/isdn.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

using ruzd::testing::LeadingInts;
using ruzd::testing::MessagePayload;
using ruzd::testing::Payload;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int32_t kCNPING = 12;
constexpr int32_t kGCOPEN = 127;
constexpr int32_t kGCWCAL = 130;
constexpr int32_t kGCCLOS = 131;
constexpr int32_t kGCMKCA = 133;
constexpr int32_t kGCRLCA = 134;
constexpr int32_t kGCACCA = 135;
constexpr int32_t kGCANCA = 136;
constexpr int32_t kGCDRCA = 139;
constexpr int32_t kGlobalCallIp = 7;
constexpr int32_t kAsync = 0x8000;

class GlobalCallEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override { UseBoards("network 1 30\nip 1 4\n"); }

    // The session up to the workers; the answer to CNINIT says that Global Call runs and that
    // IP boards are there (after the code and the version text).
    void StartAndInitialise() {
        ASSERT_NO_FATAL_FAILURE(InitialisedNodeTest::StartAndInitialise());
        const std::optional<Payload>& init = init_answer_;
        net::CInputStreamSocket reader(init->data(), static_cast<int>(init->size()));
        int32_t code = 0;
        std::string version;
        int32_t globalCall = 0;
        int32_t ipBoards = 0;
        reader.ReadInt(code).ReadString(version).ReadInt(globalCall).ReadInt(ipBoards);
        EXPECT_EQ(globalCall, 1);
        EXPECT_EQ(ipBoards, 1);
    }

    // The next message that is not a keep-alive's echo; fails the test when none comes.
    Payload NextMessage() {
        for (;;) {
            std::optional<Payload> message = peer_->Receive(std::chrono::seconds(20));
            EXPECT_TRUE(message.has_value()) << "no message came";
            if (!message || LeadingInts(*message, 1) != std::vector<int32_t>{1}) {
                return message.value_or(Payload{});
            }
        }
    }

    static Payload Event(int32_t handle, int32_t code, int32_t crn) {
        return MessagePayload(12, [=](auto& w) {
            w.WriteInt(1).WriteInt(kGlobalCallIp).WriteInt(handle).WriteInt(code).WriteInt(crn);
        });
    }
};

TEST_F(GlobalCallEndToEndTest, AnIncomingAndAnOutgoingCallOnAnIpChannel) {
    StartAndInitialise();
    // The IP board, opened as the node was initialised, has its open completed first.
    const int32_t board = HandleOf(":P_IP:N_iptB1");
    ASSERT_GT(board, 0);
    EXPECT_EQ(NextMessage(), MessagePayload(12, [=](auto& w) {
                  w.WriteInt(1000001).WriteInt(kGlobalCallIp).WriteInt(board);
                  w.WriteInt(CCEV_OPENEX).WriteInt(0);
              }));
    peer_->SendInts(kGCOPEN, 10, {kGlobalCallIp, 1});
    EXPECT_EQ(NextMessage(), MessagePayload(36, [](auto& w) {
                  w.WriteInt(kGlobalCallIp).WriteInt(1).WriteString("127.0.0.1");
              }));
    const int32_t handle = HandleOf(":N_iptB1T1:P_IP:M_ipmB1C1");
    ASSERT_GT(handle, 0);
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_OPENEX, 0));

    peer_->SendInts(kGCWCAL, 11, {kGlobalCallIp, 1});
    peer_->SendInts(kCNPING, 12, {79});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    ASSERT_EQ(Control("call iptB1T1 5551000 5552000 type=9"), "OK crn=4097");
    const IE_BLK none{};
    EXPECT_EQ(NextMessage(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kGlobalCallIp).WriteInt(handle).WriteInt(CCEV_OFFERED);
                  w.WriteInt(4097).WriteInt(CCST_OFFERED).WriteString("5551000");
                  w.WriteString("5552000").WriteInt(0).WriteLong(sizeof none);
                  w.WriteBytes(reinterpret_cast<const uint8_t*>(&none), sizeof none);
                  w.WriteInt(9);
              }));

    // The call is named by 0, the line device's current call.
    peer_->SendInts(kGCACCA, 13, {kGlobalCallIp, 1, 0, 2, 0});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_ACCEPT, 4097));
    peer_->SendInts(kGCANCA, 14, {kGlobalCallIp, 1, 0, 0, 0});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_ANSWERED, 4097));
    ASSERT_EQ(Control("hangup iptB1T1"), "OK crn=4097");
    EXPECT_EQ(NextMessage(), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kGlobalCallIp).WriteInt(handle);
                  w.WriteInt(CCEV_DISCONNECTED).WriteInt(4097).WriteInt(16).WriteInt(0);
              }));
    peer_->SendInts(kGCDRCA, 15, {kGlobalCallIp, 1, 0, 16, kAsync});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_DROPCALL, 4097));
    peer_->SendInts(kGCRLCA, 16, {kGlobalCallIp, 1, 0});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_RELEASECALL, 4097));

    // An outgoing call with Global Call's block: its destination text, then 3 bytes of
    // extension data; the far end alerts with extension data of its own.
    ASSERT_EQ(Control("dialout iptB1T1 connect ext=0A0B0C"), "OK");
    peer_->Send(kGCMKCA, 17, [](net::COutputStreamSocket& w) {
        std::vector<uint8_t> gclib(GCLIB_MAKECALL_OPAQUE_SIZE, 0);
        std::memcpy(gclib.data(), "sip:7000@far", 12);
        const uint8_t extension[] = {0x11, 0x22, 0x33};
        w.WriteInt(kGlobalCallIp).WriteInt(1).WriteLong(0).WriteString("7000").WriteInt(30);
        w.WriteInt(static_cast<int32_t>(gclib.size()))
            .WriteBytes(gclib.data(), static_cast<int>(gclib.size()));
        w.WriteInt(3).WriteBytes(extension, 3);
        w.WriteInt(0);
    });
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_PROCEEDING, 4098));
    EXPECT_EQ(NextMessage(), MessagePayload(12, [&](auto& w) {
                  const uint8_t block[] = {0x03, 0x00, 0x0A, 0x0B, 0x0C};
                  w.WriteInt(1).WriteInt(kGlobalCallIp).WriteInt(handle).WriteInt(CCEV_ALERTING);
                  w.WriteInt(4098).WriteInt(3).WriteBytes(block + 2, 3);
              }));
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_CONNECTED, 4098));
    EXPECT_THAT(Control("query call 4098"),
                HasSubstr("destination=sip:7000@far ext=0300112233FFFF makecall="));

    peer_->SendInts(kGCDRCA, 18, {kGlobalCallIp, 1, 0, 16, kAsync});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_DROPCALL, 4098));
    peer_->SendInts(kGCRLCA, 19, {kGlobalCallIp, 1, 0});
    EXPECT_EQ(NextMessage(), Event(handle, CCEV_RELEASECALL, 4098));
    peer_->SendInts(kGCCLOS, 20, {kGlobalCallIp, 1});
    peer_->SendInts(kCNPING, 21, {80});
    ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    EXPECT_EQ(Control("query device #" + std::to_string(handle)),
              "OK handle=" + std::to_string(handle) +
                  " name=:N_iptB1T1:P_IP:M_ipmB1C1 subdevices=0 open=0");
    EXPECT_TRUE(node_->WaitForLog("gc_Close ldev=" + std::to_string(handle) + " RET=0"));
    // The reference the entry holds as the call is logged may already be the new call's.
    EXPECT_TRUE(node_->WaitForLog(" phonenum=7000 gcphonenum=sip:7000@far timeout=30 RC=0"));
}

}  // namespace
}  // namespace ruzd::app
