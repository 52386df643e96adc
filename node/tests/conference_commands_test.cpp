// The conference and station commands on the simulated boards: conferences built, changed and
// deleted on a DSP and on a station board (the simulator's view of them and the manager's
// conference tables), the placeholder party, what a failing board call leaves in the tables,
// the extra value of an Amtelco position, stations rung and asked for their hook, and the
// station boards offered for new conferences.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "node/tests/isdn_node_fixture.h"
#include "telephony/opened_station_boards.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using testing::MessagePayload;
using testing::PortStatus;

constexpr int32_t kCNSTRT = 15;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kMSCLOS = 62;
constexpr int32_t kMSGRIN = 63;
constexpr int32_t kMSOPEN = 64;
constexpr int32_t kMSSBPM = 65;
constexpr int32_t kMSSEVM = 66;
constexpr int32_t kMSSTFN = 67;
constexpr int32_t kMSULST = 68;
constexpr int32_t kMSECON = 69;
constexpr int32_t kMSDCON = 70;
constexpr int32_t kMSATCO = 73;
constexpr int32_t kMSTSSG = 123;
constexpr int32_t kMSSSPM = 124;
constexpr int32_t kMSCFRE = 126;
constexpr int32_t kDCOPEN = 147;
constexpr int32_t kDCECON = 149;
constexpr int32_t kDCDCON = 150;
constexpr int32_t kDCRFCO = 152;
constexpr int32_t kDCATCO = 153;
constexpr int32_t kDCCFRE = 154;

constexpr int32_t kVoiceType = 1;
constexpr int32_t kStationType = 5;
constexpr int32_t kAmtelcoPosition = 999;
constexpr int32_t kBusSlot = 16;
constexpr int32_t kKey = 7;

class ConferenceCommandsTest : public testing::IsdnNodeTest {
protected:
    // 4 voice, 30 network and 16 station devices transmit on slots 0 to 49; the first listen
    // slot is 50. Station board 1 holds a conference from an earlier run.
    std::string Boards() const override {
        return "voice 1 4\nnetwork 1 30\nstation 2 8\nconference 1 2\nip 0 0\nleftover msiB1 1\n";
    }

    // Opens the DSPs (message 34 taken) and voice channels 1 and 2 as line devices 5 and 6.
    void OpenDspsAndVoice() {
        peer_->SendInts(kDCOPEN, 10, {});
        peer_->SendInts(kDXOPEN, 11, {5, 1, 1});
        peer_->SendInts(kDXOPEN, 12, {6, 1, 2});
        Sync();
        ASSERT_EQ(Replies().front(), MessagePayload(34, [](auto& w) { w.WriteInt(1); }));
    }

    int32_t Calls(const std::string& function) {
        return std::stoi(Control("query calls " + function).substr(3));
    }

    bool LogHas(const std::string& text) {
        for (const std::string& line : DebugLines()) {
            if (line.find(text) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    int32_t Handle(const std::string& device) {
        const std::string answer = Control("query device " + device);
        const size_t at = answer.find("handle=");
        return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 7));
    }
};

TEST_F(ConferenceCommandsTest, AConferenceWithoutPartiesHoldsThePlaceholderUntilTheFirstJoins) {
    OpenDspsAndVoice();
    peer_->SendInts(kDCECON, 13, {kKey, 1, 0, 0});
    Sync();
    EXPECT_EQ(Control("query conferences dcbB1D1"), "OK dcbb1d1 id=1 parties=384/16/1/50");
    EXPECT_TRUE(manager_->Conferences().HasPlaceholder(kKey));

    // Voice channel 1 joins on its transmit slot 0; the placeholder goes after it.
    peer_->SendInts(kDCATCO, 14, {1, kKey, kBusSlot, 5, 0, kVoiceType});
    Sync();
    EXPECT_EQ(Control("query conferences dcbB1D1"), "OK dcbb1d1 id=1 parties=0/16/0/51");
    EXPECT_FALSE(manager_->Conferences().HasPlaceholder(kKey));
    int32_t slot = -1;
    EXPECT_TRUE(manager_->Conferences().GetPartyTimeslot(kKey, 5, kVoiceType, &slot));
    EXPECT_EQ(slot, 51);
    EXPECT_TRUE(LogHas("dcb_remfromconf (dummy) dev="));

    // More parties than a conference is made with are refused before the board is asked.
    const int32_t made = Calls("dcb_estconf");
    peer_->SendInts(kDCECON, 15, {8, 1, 0, 5});
    Sync();
    EXPECT_EQ(Calls("dcb_estconf"), made);
    EXPECT_TRUE(LogHas("dcb_estconf count=5 RET=ERROR"));

    // The central server goes: every DSP is closed.
    peer_.reset();
    EXPECT_TRUE(ruzd::testing::Eventually([this] { return Calls("dcb_close") == 3; }));
    EXPECT_TRUE(Control("query device dcbB1D1").starts_with("ERR"));
    EXPECT_TRUE(Control("query device dcbB1D2").starts_with("ERR"));
}

TEST_F(ConferenceCommandsTest, WhatAFailingBoardCallLeavesInTheTables) {
    OpenDspsAndVoice();
    peer_->SendInts(kDCECON, 13, {kKey, 1, 0, 1, 5, kBusSlot, 0, kVoiceType});
    Sync();
    ConferenceTables& tables = manager_->Conferences();
    int32_t slot = -1;
    ASSERT_TRUE(tables.GetPartyTimeslot(kKey, 5, kVoiceType, &slot));

    // An add that fails still records the party; a remove that fails keeps it.
    ASSERT_EQ(Control("fail dcb_addtoconf -1 1"), "OK");
    peer_->SendInts(kDCATCO, 14, {1, kKey, kBusSlot, 6, 0, kVoiceType});
    ASSERT_EQ(Control("fail dcb_remfromconf -1 1"), "OK");
    peer_->SendInts(kDCRFCO, 15, {1, kKey, kBusSlot, 5, 0, kVoiceType});
    Sync();
    EXPECT_TRUE(tables.GetPartyTimeslot(kKey, 6, kVoiceType, &slot));
    EXPECT_TRUE(tables.GetPartyTimeslot(kKey, 5, kVoiceType, &slot));
    EXPECT_TRUE(LogHas("dcb_addtoconf error = "));
    EXPECT_TRUE(LogHas("dcb_remfromconf error = "));

    // A delete that fails still forgets the conference.
    ASSERT_EQ(Control("fail dcb_delconf -1 1"), "OK");
    peer_->SendInts(kDCDCON, 16, {1, kKey});
    Sync();
    int32_t id = 0;
    EXPECT_FALSE(tables.GetConferenceId(kKey, &id));
    EXPECT_EQ(tables.PartyCount(kKey), 0u);
    EXPECT_TRUE(LogHas("dcb_delconf error = "));

    // With every DSP short of resources none is offered.
    ASSERT_EQ(Control("resources dcbB1D1 2"), "OK");
    ASSERT_EQ(Control("resources dcbB1D2 1"), "OK");
    peer_->SendInts(kDCCFRE, 17, {4});
    EXPECT_EQ(NextMessage(33), MessagePayload(33, [](auto& w) { w.WriteInt(4).WriteInt(-1); }));
}

TEST_F(ConferenceCommandsTest, OnlyAnAmtelcoPositionOnTheBusCarriesItsCable) {
    OpenDspsAndVoice();
    peer_->SendInts(kDCECON, 13, {kKey, 1, 0, 0});
    // Position 33 of cable 2 (no slot base: 0) is heard on 1023 - 33.
    peer_->SendInts(kDCATCO, 14, {1, kKey, kBusSlot, 33, 0, kAmtelcoPosition, 2});
    // When establishing, a position has no cable: the next value is the next command's.
    peer_->SendInts(kDCECON, 15, {9, 1, 0, 1, 33, kBusSlot, 0, kAmtelcoPosition});
    peer_->SendInts(kDCCFRE, 16, {4});
    Sync();
    EXPECT_EQ(Control("query conferences dcbB1D1"), "OK dcbb1d1 id=1 parties=990/16/0/51");
    EXPECT_TRUE(LogHas("ERROR DeviceType NOT FOUND"));
    EXPECT_EQ(NextMessage(33), MessagePayload(33, [](auto& w) { w.WriteInt(4).WriteInt(1); }));
}

TEST_F(ConferenceCommandsTest, StationsAndTheirBoards) {
    peer_->SendInts(kMSOPEN, 10, {1000001, 0, 1, 0});
    peer_->SendInts(kMSOPEN, 11, {1000002, 0, 2, 0});
    peer_->SendInts(kMSOPEN, 12, {1, 0, 1, 1});
    Sync();
    // The conference left on board 1 is cleared when the board opens.
    EXPECT_TRUE(LogHas("Dev " + std::to_string(Handle("msiB1")) + " removed conf 1376257"));
    EXPECT_EQ(Control("query conferences msiB1"), "OK");
    EXPECT_THAT(statuses_.Take(), Contains(PortStatus{5, 1, "Idle"}));

    // The first board with four free resources.
    ASSERT_EQ(Control("resources msiB1 2"), "OK");
    ASSERT_EQ(Control("resources msiB2 5"), "OK");
    peer_->SendInts(kMSCFRE, 13, {3});
    EXPECT_EQ(NextMessage(30),
              MessagePayload(30, [](auto& w) { w.WriteInt(3).WriteInt(1000002); }));

    // An off-hook station is not rung. The event worker, once started, tells the hook.
    peer_->SendInts(kCNSTRT, 29, {});
    Sync();
    EXPECT_EQ(Control("hook msiB1C1 off"), "OK events=1");
    EXPECT_TRUE(ruzd::testing::Eventually([this] {
        for (const PortStatus& status : statuses_.statuses()) {
            if (status == PortStatus{5, 1, "Off Hook"}) {
                return true;
            }
        }
        return false;
    }));
    peer_->SendInts(kMSGRIN, 14, {1, 2, 0});
    EXPECT_EQ(NextMessage(18), MessagePayload(18, [](auto& w) { w.WriteInt(1).WriteInt(-1); }));
    EXPECT_EQ(Calls("ms_genring"), 0);
    peer_->SendInts(kMSTSSG, 15, {1});
    EXPECT_EQ(NextMessage(28), MessagePayload(28, [](auto& w) { w.WriteInt(1).WriteInt(16); }));
    peer_->SendInts(kMSTSSG, 16, {44});
    EXPECT_EQ(NextMessage(28), MessagePayload(28, [](auto& w) { w.WriteInt(44).WriteInt(-1); }));
    peer_->SendInts(kMSSBPM, 17, {1000001, 3, 9});
    EXPECT_EQ(NextMessage(19),
              MessagePayload(19, [](auto& w) { w.WriteInt(1000001).WriteInt(0); }));
    EXPECT_THAT(Control("query station msiB1"), HasSubstr(" board:3=9"));
    // Station parameters and event masks are kept; a station's function and listening end.
    peer_->SendInts(kMSSSPM, 30, {1, 4, 2});
    peer_->SendInts(kMSSEVM, 31, {1, 0x800, 0x1F, 1});
    peer_->SendInts(kMSSTFN, 32, {1, 1});
    peer_->SendInts(kMSULST, 33, {1});
    peer_->SendInts(kMSULST, 34, {45});
    Sync();
    EXPECT_EQ(Control("query station msiB1C1"),
              "OK hook=off ringing=0 rings=0 station:4=2 mask:0x800=0x1F/1");
    EXPECT_EQ(Calls("ms_stopfn"), 1);
    EXPECT_EQ(Calls("ms_unlisten"), 1);
    EXPECT_TRUE(LogHas("ms_unlisten ldev=UNKNOWN RET=ERROR"));

    // A station conference made without parties; the station joins by its line device number.
    peer_->SendInts(kMSECON, 18, {20, 1000001, 0, 0});
    peer_->SendInts(kMSATCO, 19, {1000001, 20, 2, 1, 0, kStationType});
    Sync();
    EXPECT_EQ(Control("query conferences msiB1"), "OK msib1 id=0x150001 parties=1/2/0/51");
    EXPECT_FALSE(manager_->Conferences().HasPlaceholder(20));

    // A closed board is offered no more; board 1 has one resource left.
    peer_->SendInts(kMSCLOS, 20, {1000002});
    peer_->SendInts(kMSCFRE, 21, {3});
    EXPECT_EQ(NextMessage(30), MessagePayload(30, [](auto& w) { w.WriteInt(3).WriteInt(-1); }));
    peer_->SendInts(kMSDCON, 22, {1000001, 20});
    Sync();
    EXPECT_EQ(Control("query conferences"), "OK");

    // The shut-down closes board 1: no board is left to offer.
    EXPECT_THAT(telephony::StationBoards().Handles(), ::testing::SizeIs(1));
    peer_.reset();
    EXPECT_TRUE(
        ruzd::testing::Eventually([] { return telephony::StationBoards().Handles().empty(); }));
}

class ConferenceCommandsWithoutBoardsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "conference 0 0\nstation 0 0\nip 0 0\n"; }
};

TEST_F(ConferenceCommandsWithoutBoardsTest, NothingOpensAndNoStationBoardIsOffered) {
    peer_->SendInts(kDCOPEN, 10, {});
    EXPECT_EQ(NextMessage(34), MessagePayload(34, [](auto& w) { w.WriteInt(0); }));
    peer_->SendInts(kMSCFRE, 11, {3});
    EXPECT_EQ(NextMessage(30), MessagePayload(30, [](auto& w) { w.WriteInt(3).WriteInt(-1); }));
    peer_->SendInts(kDCCFRE, 12, {3});
    EXPECT_EQ(NextMessage(33), MessagePayload(33, [](auto& w) { w.WriteInt(3).WriteInt(-1); }));
}

}  // namespace
}  // namespace ruzd::node
