// The routing and network interface commands on the simulated boards: direct routes between a
// network line and a voice channel, routes from a conference and to and from the Amtelco bus,
// with the port statuses and log lines they leave; and the network interface devices.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "node/amtelco_texts.h"
#include "node/tests/isdn_node_fixture.h"
#include "testing/eventually.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::PortStatus;

constexpr int32_t kAMOPEN = 1;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kDTCLOS = 16;
constexpr int32_t kDTLIST = 17;
constexpr int32_t kDTOPEN = 18;
constexpr int32_t kDTSEVM = 19;
constexpr int32_t kDTSPAR = 20;
constexpr int32_t kDTSSMO = 21;
constexpr int32_t kDTSTSS = 22;
constexpr int32_t kDTXMAL = 23;
constexpr int32_t kDXOPEN = 45;
constexpr int32_t kNRSCRO = 74;
constexpr int32_t kNRSCUR = 75;
constexpr int32_t kCCOPEN = 85;

constexpr int32_t kLine = 1;   // dtiB1T1
constexpr int32_t kVoice = 5;  // dxxxB1C1, on slot 300
constexpr int32_t kFull = 0;
constexpr int32_t kHalf = 1;

class RoutingCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override {
        return "voice 1 4\nnetwork 2 30\nip 0 0\nslot dxxxB1C1 300\n";
    }

    void OpenLineAndChannel() {
        peer_->SendInts(kCCOPEN, 10, {kLine});
        peer_->SendInts(kDXOPEN, 11, {kVoice, 1, 1});
        ASSERT_TRUE(NextMessage(8).has_value());
        Sync();
        statuses_.Take();
    }

    void Route(int32_t dev1, int32_t type1, int32_t dev2, int32_t type2, uint8_t mode) {
        peer_->Send(kNRSCRO, 20, [&](net::COutputStreamSocket& w) {
            w.WriteInt(dev1).WriteInt(type1).WriteInt(dev2).WriteInt(type2).WriteInt(mode);
        });
        Sync();
    }

    void RouteAmtelco(int32_t dev1, int32_t type1, int32_t dev2, int32_t type2, int32_t cable,
                      int32_t rx, uint8_t mode, int32_t exists) {
        peer_->Send(kNRSCRO, 21, [&](net::COutputStreamSocket& w) {
            w.WriteInt(dev1).WriteInt(type1).WriteInt(dev2).WriteInt(type2);
            w.WriteInt(cable).WriteInt(rx).WriteInt(mode).WriteInt(exists);
        });
        Sync();
    }

    void Unroute(int32_t dev1, int32_t type1, int32_t dev2, int32_t type2, uint8_t mode) {
        peer_->Send(kNRSCUR, 22, [&](net::COutputStreamSocket& w) {
            w.WriteInt(dev1).WriteInt(type1).WriteInt(dev2).WriteInt(type2).WriteInt(mode);
        });
        Sync();
    }

    int32_t Handle(int32_t ldev, int32_t type) {
        int32_t handle = -1;
        EXPECT_TRUE(manager_->Devices().GetDeviceHandle(ldev, type, &handle));
        return handle;
    }

    std::string RouteLine(int32_t type1, int32_t type2, int mode, int result) {
        const int32_t line = Handle(kLine, 3);
        const int32_t voice = Handle(kVoice, 1);
        const int32_t first = type1 == 3 ? line : voice;
        const int32_t second = type2 == 3 ? line : voice;
        return "nr_scroute dev1=" + std::to_string(first) + " " + std::to_string(type1) +
               " dev2=" + std::to_string(second) + " " + std::to_string(type2) +
               " mode=" + std::to_string(mode) + " RC=" + std::to_string(result);
    }
};

// Every byte of a cross-connect text is two hex digits, whatever the numbers.
TEST(AmtelcoCrossConnectTextTest, EveryByteIsItsValuesLowEightBits) {
    EXPECT_EQ(AmtelcoCrossConnectText(1018, 300, 5, 70), "XC077A022C00050106");
    EXPECT_EQ(AmtelcoCrossConnectText(-1, 0x7FFFFFFF, -65, 1 << 20), "XC00FFFF7FFFFF0000");
}

TEST_F(RoutingCommandsTest, ANetworkLineAndAVoiceChannelAreRoutedAndUnrouted) {
    OpenLineAndChannel();
    const std::string lineSlot = Control("query slot dtiB1T1").substr(3);

    Route(kLine, 3, kVoice, 1, kFull);
    EXPECT_EQ(Control("query routes"),
              "OK dtib1t1=300:dxxxb1c1 dxxxb1c1=" + lineSlot.substr(5) + ":dtib1t1");
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{3, kLine, "Routed to voice channel"},
                                              PortStatus{1, kVoice, "Routed to ISDN channel"}));
    EXPECT_THAT(DebugLines(), Contains(EndsWith(RouteLine(3, 1, kFull, 0))));
    EXPECT_EQ(CountCalls("dt_listen"), 1u);
    EXPECT_EQ(CountCalls("dx_listen"), 1u);

    Unroute(kLine, 3, kVoice, 1, kFull);
    EXPECT_EQ(CountCalls("dt_unlisten"), 1u);
    EXPECT_EQ(CountCalls("dx_unlisten"), 1u);
    EXPECT_EQ(Control("query routes"), "OK");
    EXPECT_THAT(statuses_.Take(),
                ElementsAre(PortStatus{3, kLine, "Idle"}, PortStatus{1, kVoice, "Idle"}));

    // Half duplex: only the voice channel listens, and only it is told.
    Route(kLine, 3, kVoice, 1, kHalf);
    EXPECT_EQ(Control("query routes"), "OK dxxxb1c1=" + lineSlot.substr(5) + ":dtib1t1");
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, kVoice, "Listening to ISDN channel"}));
    EXPECT_EQ(CountCalls("dt_listen"), 1u);
    EXPECT_EQ(CountCalls("dx_listen"), 2u);

    // One device named twice is told once.
    Unroute(kVoice, 1, kVoice, 1, kHalf);
    EXPECT_EQ(Control("query routes"), "OK");
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, kVoice, "Idle"}));
    EXPECT_THAT(Replies(), IsEmpty());
}

TEST_F(RoutingCommandsTest, UnknownDevicesAndRefusedTypesRouteNothing) {
    OpenLineAndChannel();
    // A station that is not open is told so.
    Route(kLine, 3, 7, 5, kFull);
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{
                                      5, 7, "ERROR: COULD NOT OPEN THIS DEVICE (dialogic\?\?\?)"}));
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("nr_scroute dev1=UNKNOWN? (1)  dev2=UNKNOWN? (7) RET=ERROR")));
    // Unrouting knows no conferences.
    Unroute(40, 245, kVoice, 1, kFull);
    EXPECT_THAT(DebugLines(),
                Contains(EndsWith("nr_scunroute dev1=UNKNOWN? (40)  dev2=UNKNOWN? (5) RET=ERROR")));
    // A conference is never the second device but from the Amtelco bus.
    Route(kVoice, 1, 40, 245, kFull);
    EXPECT_EQ(Control("query routes"), "OK");
    EXPECT_THAT(statuses_.Take(), IsEmpty());
}

TEST_F(RoutingCommandsTest, ADeviceListensToAConferenceOnlyInHalfDuplex) {
    OpenLineAndChannel();
    manager_->Conferences().SetPartyTimeslot(40, kVoice, 1, 12);
    manager_->Conferences().SetPartyTimeslot(41, kVoice, 1, 0);

    Route(40, 245, kVoice, 1, kFull);
    EXPECT_EQ(Control("query listen dxxxB1C1").substr(0, 10), "OK slot=12");
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{245, 40, "Routed to voice channel"}));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("Route To Conference must be half duplex.")));
    EXPECT_THAT(lines, Contains(EndsWith("ListenXTimeSlot dev=" +
                                         std::to_string(Handle(kVoice, 1)) + " ts=12 RES=0")));

    // A listen slot of 0 is no party.
    Route(41, 245, kVoice, 1, kHalf);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dt_listen dev=UNKNOWN or confid=UNKNOWN (41)")));
}

TEST_F(RoutingCommandsTest, RoutesToAndFromTheAmtelcoBusCrossConnectTheBoard) {
    peer_->SendInts(kCNSTRT, 5, {});
    OpenLineAndChannel();
    peer_->SendInts(kAMOPEN, 6, {1, 0, 0, 0, 1, 0x1A2B, 1});
    Sync();

    // tx 5 on base 0 is slot 1018; the device transmits on 300.
    RouteAmtelco(kVoice, 1, 5, 999, 0, 70, kFull, 0);
    EXPECT_TRUE(ruzd::testing::Eventually([this] {
        return Control("query amtelco 1").find("|XC077A022C00050106") != std::string::npos;
    })) << Control("query amtelco 1");
    EXPECT_EQ(Control("query listen dxxxB1C1"), "OK slot=1018 hears=none");
    EXPECT_THAT(statuses_.Take(), ElementsAre(PortStatus{1, kVoice, "Routed to amtelco bus"},
                                              PortStatus{999, 5, "Routed to voice channel"}));
    EXPECT_THAT(DebugLines(),
                Contains(::testing::AllOf(
                    HasSubstr(":Am0005 "),
                    EndsWith("nr_scroute (To_Amtelco) dev1=" + std::to_string(Handle(kVoice, 1)) +
                             " 1 tx=5 rx=70 cable=0 Mode=0 ConnectionExists=0"))));

    // The connection exists: nothing is sent, the device still listens.
    Unroute(kVoice, 1, kVoice, 1, kHalf);
    const size_t sends = CountCalls("xds_msg_send");
    RouteAmtelco(kVoice, 1, 6, 999, 0, 70, kFull, 1);
    EXPECT_EQ(Control("query listen dxxxB1C1"), "OK slot=1017 hears=none");
    EXPECT_EQ(CountCalls("xds_msg_send"), sends);

    // Half duplex to the bus connects no device input.
    RouteAmtelco(kLine, 3, 7, 999, 0, 70, kHalf, 1);
    EXPECT_EQ(Control("query listen dtiB1T1"), "OK slot=none hears=none");
    // From the bus the device always listens.
    RouteAmtelco(8, 999, kLine, 3, 0, 3, kHalf, 1);
    EXPECT_EQ(Control("query listen dtiB1T1"), "OK slot=1015 hears=none");
    statuses_.Take();

    // An unknown cable.
    RouteAmtelco(kVoice, 1, 5, 999, 9, 70, kFull, 0);
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("tx=5 rx=70 cable=9 CABLE NOT FOUND")));

    // A listen that fails undoes nothing: the text stays queued, and nothing is reported.
    ASSERT_EQ(Control("fail dx_listen -1 1"), "OK");
    RouteAmtelco(kVoice, 1, 9, 999, 0, 71, kFull, 0);
    EXPECT_TRUE(ruzd::testing::Eventually([this] {
        return Control("query amtelco 1").ends_with("|XC0776022C00090107");
    })) << Control("query amtelco 1");
    EXPECT_THAT(statuses_.Take(), IsEmpty());
    EXPECT_THAT(DebugLines(), Contains(EndsWith("scts=300 scxport=1014 tx=9 rx=71 cable=0 ERROR "
                                                "RC=-1")));
}

TEST_F(RoutingCommandsTest, NetworkInterfaceDevicesOpenCloseAndListen) {
    peer_->SendInts(kDTOPEN, 10, {30});
    peer_->SendInts(kDTOPEN, 11, {31});
    peer_->SendInts(kDTOPEN, 12, {1000002});
    Sync();
    const std::vector<std::string> journal = Journal();
    EXPECT_THAT(journal, Contains(HasSubstr("dt_open(\"dtiB1T30\", 0) = ")));
    EXPECT_THAT(journal, Contains(HasSubstr("dt_open(\"dtiB2T1\", 0) = ")));
    EXPECT_THAT(journal, Contains(HasSubstr("dt_open(\"dtiB2\", 0) = ")));
    EXPECT_EQ(manager_->OpenChannelCount(), 2);
    int32_t ldev = 0;
    EXPECT_FALSE(manager_->Devices().Network().Get(30, &ldev));

    // A failed open counts nothing but records the handle -1.
    ASSERT_EQ(Control("fail dt_open -1 1"), "OK");
    peer_->SendInts(kDTOPEN, 13, {3});
    Sync();
    EXPECT_EQ(manager_->OpenChannelCount(), 2);
    EXPECT_TRUE(manager_->Devices().HandleLdevs().Get(-1, &ldev));
    EXPECT_EQ(ldev, 3);

    // Only a network line is found by the other commands.
    peer_->SendInts(kDTCLOS, 14, {30});
    Sync();
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dt_close ldev=UNKNOWN RET=ERROR")));
    peer_->SendInts(kCCOPEN, 15, {kLine});
    Sync();
    const std::string line = std::to_string(Handle(kLine, 3));
    peer_->Send(kDTXMAL, 16,
                [](net::COutputStreamSocket& w) { w.WriteInt(kLine).WriteInt(2).WriteInt(1); });
    peer_->Send(kDTSEVM, 17, [](net::COutputStreamSocket& w) {
        w.WriteInt(kLine).WriteInt(3).WriteInt(0x30).WriteInt(1);
    });
    peer_->Send(kDTSTSS, 18,
                [](net::COutputStreamSocket& w) { w.WriteInt(kLine).WriteInt(5).WriteInt(2); });
    peer_->SendInts(kDTSSMO, 19, {kLine, 4});
    peer_->Send(kDTSPAR, 20,
                [](net::COutputStreamSocket& w) { w.WriteInt(kLine).WriteUInt(7).WriteInt(9); });
    Sync();
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("dt_xmitalrm dev=" + line + " type=2 state=1 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("dt_setevtmsk dev=" + line +
                                         " event=3 bitmask=48 action=1 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("dt_settssig dev=" + line + " bitmask=5 action=2 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("dt_setsigmod dev=" + line + " mode=4 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("dt_setparm dev=" + line + " param=7 value=9 RC=0")));

    // A party listens to its conference; an unknown one does not.
    manager_->Conferences().SetPartyTimeslot(40, kLine, 3, 14);
    peer_->SendInts(kDTLIST, 21, {kLine, 3, 41});
    Sync();
    EXPECT_THAT(DebugLines(), Contains(EndsWith("dt_listen dev=UNKNOWN or confid=UNKNOWN (41")));
    EXPECT_EQ(Control("query listen dtiB1T1"), "OK slot=none hears=none");
    peer_->SendInts(kDTLIST, 22, {kLine, 3, 40});
    Sync();
    EXPECT_EQ(Control("query listen dtiB1T1").substr(0, 10), "OK slot=14");
    EXPECT_THAT(DebugLines(), Contains(EndsWith("ListenXTimeSlot dev=" + line + " ts=14 RES=0")));
    EXPECT_THAT(statuses_.Take(), Not(Contains(PortStatus{3, kLine, "Routed to Conference"})));
}

}  // namespace
}  // namespace ruzd::node
