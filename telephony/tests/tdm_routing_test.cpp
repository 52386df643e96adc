// Routing Dialogic devices over the simulated boards' TDM bus through the facade: which bus
// calls a route and an unroute make, in which order, what the boards then connect, and what is
// refused and logged.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "telephony/tdm_routing.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/tests/routing_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr const char* kBoards = "voice 1 2\nnetwork 1 2\nstation 1 2\nip 1 2\n";

class TdmRoutingTest : public RoutingTest {
protected:
    TdmRoutingTest() {
        Load(kBoards);
        voice_ = hardware_->dx_open(1, "dxxxB1C1", 0);
        station_ = hardware_->ms_open(2, "msiB1C1", 0);
        network_ = hardware_->dt_open(3, "dtiB1T1", 0);
    }

    bool LoggedContaining(const std::string& part) {
        for (const std::string& text : NewTexts()) {
            if (text.find(part) != std::string::npos)
                return true;
        }
        return false;
    }

    int32_t voice_ = -1;
    int32_t station_ = -1;
    int32_t network_ = -1;
};

TEST_F(TdmRoutingTest, AVoiceChannelRoutedHalfDuplexToAStationMakesOneCallOfEachSide) {
    EXPECT_EQ(hardware_->nr_scroute(voice_, kPortTypeVoice, station_, kPortTypeStation, 1), 0);
    EXPECT_THAT(BusCalls(), ElementsAre("dx_getxmitslot", "ms_listen"));
    EXPECT_EQ(Control("query listen msiB1C1"), "OK slot=0 hears=dxxxb1c1");
}

TEST_F(TdmRoutingTest, FullDuplexRoutesShowWhoHearsWhomAndUnroutingEmptiesTheBus) {
    ASSERT_EQ(hardware_->nr_scroute(network_, kPortTypeNetwork, voice_, kPortTypeVoice, 0), 0);
    ASSERT_EQ(hardware_->nr_scroute(voice_, kPortTypeVoice, station_, kPortTypeStation, 1), 0);
    EXPECT_THAT(BusCalls(), ElementsAre("dt_getxmitslot", "dx_listen", "dx_getxmitslot",
                                        "dt_listen", "dx_getxmitslot", "ms_listen"));
    EXPECT_EQ(Control("query routes"),
              "OK dtib1t1=0:dxxxb1c1 dxxxb1c1=2:dtib1t1 msib1c1=0:dxxxb1c1");

    const size_t mark = Journal().size();
    EXPECT_EQ(hardware_->nr_scunroute(network_, kPortTypeNetwork, voice_, kPortTypeVoice, 0), 0);
    EXPECT_EQ(hardware_->nr_scunroute(voice_, kPortTypeVoice, station_, kPortTypeStation, 1), 0);
    EXPECT_THAT(BusCalls(mark), ElementsAre("dx_unlisten", "dt_unlisten", "ms_unlisten"));
    EXPECT_EQ(Control("query routes"), "OK");
}

TEST_F(TdmRoutingTest, AFailedListenStopsTheRouteAndLeavesTheEarlierListen) {
    ASSERT_EQ(Control("fail dx_listen -1 1"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware_->nr_scroute(voice_, kPortTypeVoice, network_, kPortTypeNetwork, 0), -1);
    EXPECT_THAT(BusCalls(),
                ElementsAre("dx_getxmitslot", "dt_listen", "dt_getxmitslot", "dx_listen"));
    EXPECT_EQ(Control("query routes"), "OK dtib1t1=0:dxxxb1c1");
    EXPECT_TRUE(LoggedContaining("nr_scroute: dxxxB1C1: Cannot dx_listen ERROR: "));
}

TEST_F(TdmRoutingTest, AFullDuplexUnrouteUnlistensBothAndTellsTheFirstFailure) {
    ASSERT_EQ(hardware_->nr_scroute(voice_, kPortTypeVoice, network_, kPortTypeNetwork, 0), 0);
    const size_t mark = Journal().size();
    ASSERT_EQ(Control("fail dt_unlisten -1 1"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware_->nr_scunroute(voice_, kPortTypeVoice, network_, kPortTypeNetwork, 0), -1);
    EXPECT_THAT(BusCalls(mark), ElementsAre("dt_unlisten", "dx_unlisten"));
    EXPECT_EQ(Control("query routes"), "OK dtib1t1=0:dxxxb1c1") << "the forced failure did nothing";
    EXPECT_TRUE(LoggedContaining("nr_unscroute: dtiB1T1: Cannot dt_unlisten ERROR: "));

    // The second unlisten's failure alone is the result too.
    ASSERT_EQ(Control("fail dx_unlisten -1 1"), "OK");
    EXPECT_EQ(hardware_->nr_scunroute(voice_, kPortTypeVoice, network_, kPortTypeNetwork, 0), -1);
    EXPECT_EQ(Control("query routes"), "OK");
}

TEST_F(TdmRoutingTest, ANetworkDeviceUnderGlobalCallIsReachedThroughItsNetworkHandle) {
    // Without Global Call the device is the network interface's own handle.
    EXPECT_EQ(GetXTimeSlot(network_, kPortTypeNetwork, nullptr), 2);
    EXPECT_EQ(CountCalls("gc_GetNetworkH"), 0u);

    ASSERT_EQ(hardware_->gc_Start(nullptr), 0);
    hardware_->SetGlobalCallInitialised(true);
    LINEDEV line = 0;
    ASSERT_EQ(hardware_->gc_OpenEx(4, &line, ":N_dtiB1T2:P_isdn", 0, nullptr), 0);
    const size_t mark = Journal().size();
    int32_t slot = -1;
    SC_TSINFO info{1, &slot};
    EXPECT_EQ(GetXTimeSlot(line, kPortTypeNetwork, &info), 3);
    EXPECT_EQ(slot, 3);
    EXPECT_THAT(BusCalls(mark), ElementsAre("gc_GetNetworkH", "dt_getxmitslot"));

    // A device that is no Global Call line device has no network handle: logged, and handle 0.
    ForgetLines();
    EXPECT_EQ(GetXTimeSlot(network_, kPortTypeNetwork, &info), -1);
    EXPECT_TRUE(
        LoggedContaining("Failed to get network Handle for device " + std::to_string(network_)));
}

TEST_F(TdmRoutingTest, GlobalCallIpDevicesRouteThroughTheirMediaChannelsAndLogItsErrors) {
    ASSERT_EQ(hardware_->gc_Start(nullptr), 0);
    hardware_->SetGlobalCallInitialised(true);
    LINEDEV ip = 0;
    ASSERT_EQ(hardware_->gc_OpenEx(5, &ip, ":N_iptB1T1:P_IP:M_ipmB1C2", 0, nullptr), 0);
    EXPECT_EQ(hardware_->nr_scroute(ip, kPortTypeGlobalCallIp, station_, kPortTypeStation, 0), 0);
    EXPECT_EQ(Control("query routes"), "OK ipmb1c2=4:msib1c1 msib1c1=7:ipmb1c2");

    hardware_->gc_Close(5, ip);
    ForgetLines();
    EXPECT_EQ(hardware_->nr_scroute(station_, kPortTypeStation, ip, kPortTypeGlobalCallIp, 1), -1);
    const std::string expected = "nr_scroute: :N_iptB1T1:P_IP:M_ipmB1C2: Cannot gc_listen Error = ";
    bool found = false;
    for (const LoggedLine& line : NewLines()) {
        if (line.text.starts_with(expected)) {
            found = true;
            EXPECT_EQ(line.kind, 1) << "on the Dt channel";
            EXPECT_THAT(line.text, HasSubstr("Msg = Invalid line device"));
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(TdmRoutingTest, ConferenceAndUnknownTypesAreRefusedByEveryOperation) {
    int32_t slot = 0;
    SC_TSINFO info{1, &slot};
    for (int32_t type : {4, 8}) {
        ForgetLines();
        EXPECT_EQ(GetXTimeSlot(voice_, type, &info), -1);
        EXPECT_EQ(ListenXTimeSlot(voice_, type, &info), -1);
        EXPECT_EQ(UnListenXTimeSlot(voice_, type), -1);
        EXPECT_TRUE(LoggedContaining("nr_scroute: dxxxB1C1: ERROR: Invalid 1st device type"));
        EXPECT_TRUE(
            LoggedContaining("nr_scroute: dxxxB1C1: ERROR: Invalid 2nd device type, STATE="));
        EXPECT_TRUE(LoggedContaining("nr_unscroute: dxxxB1C1: ERROR: Invalid device type, STATE="));
    }
    EXPECT_THAT(BusCalls(), IsEmpty());
    EXPECT_EQ(ReleaseXTimeSlot(voice_, kPortTypeVoice), -1);
    int32_t own = 0;
    EXPECT_EQ(GetXmitSlotInfo(voice_, kBusTypeAculabIp, &info, &own), -1);
}

TEST_F(TdmRoutingTest, WithoutTheManagerNothingReachesTheBoards) {
    PublishedAculabChannels().Withdraw(store_.get());
    store_.reset();
    ForgetLines();
    EXPECT_EQ(hardware_->nr_scroute(voice_, kPortTypeVoice, station_, kPortTypeStation, 0), -1);
    EXPECT_EQ(UnListenXTimeSlot(station_, kPortTypeStation), -1);
    EXPECT_THAT(BusCalls(), IsEmpty());
    EXPECT_THAT(NewTexts(), ElementsAre("spVesmarin == NULL!", "spVesmarin == NULL!"));
}

TEST_F(TdmRoutingTest, TheSlotInformationComesFromADescriptorOfItsOwn) {
    SC_TSINFO info{0, nullptr};
    int32_t slot = 7;
    EXPECT_EQ(GetXmitSlotInfo(station_, kPortTypeStation, &info, &slot), 0);
    EXPECT_EQ(slot, 4);
    EXPECT_EQ(info.sc_numts, 1u);
    EXPECT_EQ(info.sc_tsarrayp, &slot);
    for (const std::string& entry : Journal()) {
        if (entry.find("getxmitslot(") != std::string::npos) {
            EXPECT_THAT(entry, Not(HasSubstr("NULL"))) << "the vendor is never handed nothing";
        }
    }
    EXPECT_EQ(GetXTimeSlot(station_, kPortTypeStation, nullptr), 4);
}

TEST_F(TdmRoutingTest, AnIpDeviceRoutedFullDuplexIsFirstUnroutedFromItself) {
    ASSERT_EQ(hardware_->gc_Start(nullptr), 0);
    hardware_->SetGlobalCallInitialised(true);
    LINEDEV ip = 0;
    ASSERT_EQ(hardware_->gc_OpenEx(5, &ip, ":N_iptB1T1:P_IP:M_ipmB1C1", 0, nullptr), 0);
    const RoutingChannel ip_channel{6, 5};
    const RoutingChannel station_channel{3, 2};
    ForgetLines();
    EXPECT_EQ(SCRouting1(ip, kPortTypeGlobalCallIp, station_, kPortTypeStation, 0, &ip_channel,
                         &station_channel),
              0);
    EXPECT_THAT(BusCalls(), ElementsAre("gc_UnListen", "gc_GetXmitSlot", "ms_listen",
                                        "ms_getxmitslot", "gc_Listen"));
    const std::string ip_device = std::to_string(ip);
    const std::string station = std::to_string(station_);
    EXPECT_THAT(
        NewTexts(),
        ElementsAre("SCUnrouting Done dev1=" + ip_device + " ch1=5(ip) type1=ip dev2=" + ip_device +
                        " ch2=5(ip) type2=ip rc=0",
                    "SCRouting1 Done dev1=" + ip_device + " ch1=5(ip) type1=ip dev2=" + station +
                        " ch2=2(msi) type2=msi rc=0"));
    EXPECT_EQ(NewLines().back().kind, 6);
    EXPECT_EQ(NewLines().back().device, 5);

    // Half duplex leaves it as it is, and nothing is logged without both channels.
    const size_t mark = Journal().size();
    ForgetLines();
    EXPECT_EQ(
        SCUnrouting(ip, kPortTypeGlobalCallIp, station_, kPortTypeStation, 0, &ip_channel, nullptr),
        0);
    EXPECT_THAT(BusCalls(mark), ElementsAre("ms_unlisten", "gc_UnListen"));
    EXPECT_THAT(NewTexts(), IsEmpty());
    EXPECT_EQ(Control("query routes"), "OK");
}

}  // namespace
}  // namespace ruzd::telephony
