// A conference from end to end: the node program on the simulated boards, a central server of
// the test's own that opens a voice channel, a station board and a station, opens the
// conference boards and builds a conference of the voice channel and the station on a DSP; the
// simulator's control socket shows the conference and lifts the station's hook.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "telephony/vendorapi/station.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/initialised_node.h"

namespace ruzd::app {
namespace {

using ruzd::testing::MessagePayload;

constexpr int32_t kCNPING = 12;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kMSOPEN = 64;
constexpr int32_t kMSGRIN = 63;
constexpr int32_t kDCOPEN = 147;
constexpr int32_t kDCECON = 149;
constexpr int32_t kDCDCON = 150;
constexpr int32_t kDCRFCO = 152;
constexpr int32_t kDCCFRE = 154;
constexpr int32_t kVoice = 1;
constexpr int32_t kStation = 5;
constexpr int32_t kBusSlot = 16;
constexpr int32_t kStationBoardLdev = 1000001;

class ConferenceEndToEndTest : public testing::InitialisedNodeTest {
protected:
    void SetUp() override {
        UseBoards("voice 1 4\nnetwork 1 30\nstation 1 8\nconference 1 2\nip 0 0\n");
    }

    // Waits until every command sent so far has run.
    void Sync(int32_t id) {
        peer_->SendInts(kCNPING, id, {id});
        ASSERT_TRUE(peer_->ReceiveCode(1).has_value());
    }

    std::string Field(const std::string& answer, const std::string& name) {
        const size_t at = answer.find(name + "=");
        if (at == std::string::npos)
            return std::string();
        const size_t start = at + name.size() + 1;
        return answer.substr(start, answer.find(' ', start) - start);
    }
};

TEST_F(ConferenceEndToEndTest, AVoiceChannelAndAStationConferOnADsp) {
    StartAndInitialise();
    peer_->SendInts(kDXOPEN, 10, {1, 1, 1});
    ASSERT_TRUE(peer_->ReceiveCode(8).has_value());
    peer_->SendInts(kMSOPEN, 11, {kStationBoardLdev, 0, 1, 0});
    peer_->SendInts(kMSOPEN, 12, {1, 0, 1, 1});
    peer_->SendInts(kDCOPEN, 13, {});
    EXPECT_EQ(peer_->ReceiveCode(34), MessagePayload(34, [](auto& w) { w.WriteInt(1); }));
    peer_->SendInts(kDCCFRE, 14, {9});
    EXPECT_EQ(peer_->ReceiveCode(33),
              MessagePayload(33, [](auto& w) { w.WriteInt(9).WriteInt(1); }));

    // Conference 7 on DSP 1 of the voice channel and the station, both heard by their slots.
    peer_->SendInts(kDCECON, 15, {7, 1, 0, 2, 1, kBusSlot, 0, kVoice, 1, kBusSlot, 0, kStation});
    Sync(16);
    const std::string voice_slot = Field(Control("query slot dxxxB1C1"), "OK slot");
    const std::string station_slot = Field(Control("query slot msiB1C1"), "OK slot");
    ASSERT_EQ(voice_slot, "0");
    ASSERT_EQ(station_slot, "34");
    // 42 devices transmit on slots 0 to 41: the listen slots are the next two.
    EXPECT_EQ(Control("query conferences"), "OK dcbb1d1 id=1 parties=0/16/0/42,34/16/0/43");
    EXPECT_EQ(Control("query calls dcb_estconf"), "OK 1");

    // The station goes off hook: its event reaches the central server, and it is not rung.
    const int32_t station = std::stoi(Field(Control("query device msiB1C1"), "OK handle"));
    EXPECT_EQ(Control("hook msiB1C1 off"), "OK events=1");
    EXPECT_EQ(peer_->ReceiveCode(12), MessagePayload(12, [&](auto& w) {
                  w.WriteInt(1).WriteInt(kStation).WriteInt(station).WriteInt(MSEV_SIGNAL);
                  w.WriteInt(0).WriteInt(MS_HOOK_OFF_BITS);
              }));
    peer_->SendInts(kMSGRIN, 17, {1, 2, 0});
    EXPECT_EQ(peer_->ReceiveCode(18),
              MessagePayload(18, [](auto& w) { w.WriteInt(1).WriteInt(-1); }));
    EXPECT_EQ(Control("query calls ms_genring"), "OK 0");

    // The voice channel leaves, then the conference goes: the DSP is empty.
    peer_->SendInts(kDCRFCO, 18, {1, 7, kBusSlot, 1, 0, kVoice});
    Sync(19);
    EXPECT_EQ(Control("query conferences"), "OK dcbb1d1 id=1 parties=34/16/0/43");
    peer_->SendInts(kDCDCON, 20, {1, 7});
    Sync(21);
    EXPECT_EQ(Control("query conferences"), "OK");
    EXPECT_TRUE(node_->WaitForLog("dcb_delconf dev="));

    // The central server goes: every DSP is closed.
    peer_.reset();
    EXPECT_TRUE(testing::Eventually([this] {
        return Control("query device dcbB1D1").starts_with("ERR no open device") &&
               Control("query device dcbB1D2").starts_with("ERR no open device");
    }));
}

}  // namespace
}  // namespace ruzd::app
