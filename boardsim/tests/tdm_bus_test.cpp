// The simulated TDM bus through the node's tables: transmit slots in catalogue order and pinned
// ones, listening, replacing and unlistening, what each library refuses, and the control
// socket's view of who hears whom.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDTIMT;
using telephony::CLibDXXMT;
using telephony::CLibGc;
using telephony::CLibSRLMT;
using telephony::VendorCall;
using ::testing::HasSubstr;

class TdmBusTest : public testing::BoardsimTest {
protected:
    // The slot a bus function wrote, or -1 after its failure.
    template <typename Table, typename Function>
    int32_t SlotOf(Table& table, Function function, int32_t handle) {
        int32_t slot = -1;
        SC_TSINFO info{1, &slot};
        return VendorCall(&table, function, handle, &info) == 0 ? slot : -1;
    }

    template <typename Table, typename Function, typename... Mode>
    int32_t Listen(Table& table, Function function, int32_t handle, int32_t slot, Mode... mode) {
        SC_TSINFO info{1, &slot};
        return VendorCall(&table, function, handle, &info, mode...);
    }

    int32_t LastError(int32_t handle) {
        return VendorCall(&srl_, &CLibSRLMT::ATDV_LASTERR, handle);
    }

    // Written before the first table loads the machine.
    const bool configured_ = (WriteConfig("voice 1 4\nnetwork 1 2\nstation 1 2\nconference 1 1\n"
                                          "ip 1 2\nslot dtiB1T2 100\n"),
                              true);
    CLibSRLMT srl_;
    CLibDXXMT voice_;
    CLibDTIMT network_;
    CLibGc gc_;
};

TEST_F(TdmBusTest, EveryTransmittingDeviceHasItsSlotInCatalogueOrderUnlessPinned) {
    EXPECT_EQ(Control("query config"), "OK errors=0");
    // Voice channels, network time slots (the second pinned), stations, IP media channels.
    const std::pair<const char*, int> expected[] = {
        {"dxxxB1C1", 0}, {"dxxxB1C4", 3}, {"dtiB1T1", 4}, {"dtiB1T2", 100},
        {"msiB1C1", 5},  {"msiB1C2", 6},  {"ipmB1C1", 7}, {"ipmB1C2", 8}};
    for (const auto& [device, slot] : expected)
        EXPECT_EQ(Control(std::string("query slot ") + device), "OK slot=" + std::to_string(slot))
            << device;
    EXPECT_THAT(Control("query slot dcbB1D1"), HasSubstr("ERR"));
    EXPECT_THAT(Control("query slot iptB1T1"), HasSubstr("ERR"));

    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C3", 0);
    EXPECT_EQ(SlotOf(voice_, &CLibDXXMT::dx_getxmitslot, channel), 2);
    const int32_t station = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1C2", 0);
    EXPECT_EQ(SlotOf(network_, &CLibDTIMT::ms_getxmitslot, station), 6);
    const int32_t time_slot = VendorCall(&network_, &CLibDTIMT::dt_open, "dtiB1T2", 0);
    EXPECT_EQ(SlotOf(network_, &CLibDTIMT::dt_getxmitslot, time_slot), 100);
}

TEST_F(TdmBusTest, AListenReplacesTheEarlierOneAndUnlistenDisconnects) {
    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    const int32_t station = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1C1", 0);
    EXPECT_EQ(Control("query listen msiB1C1"), "OK slot=none hears=none");
    EXPECT_EQ(Control("query routes"), "OK");

    EXPECT_EQ(Listen(network_, &CLibDTIMT::ms_listen, station, 0), 0);
    EXPECT_EQ(Control("query listen msiB1C1"), "OK slot=0 hears=dxxxb1c1");
    EXPECT_EQ(Control("query listen #" + std::to_string(station)), "OK slot=0 hears=dxxxb1c1");

    EXPECT_EQ(Listen(network_, &CLibDTIMT::ms_listen, station, 100), 0);
    EXPECT_EQ(Listen(voice_, &CLibDXXMT::dx_listen, channel, 2000), 0);
    EXPECT_EQ(Control("query routes"), "OK dxxxb1c1=2000:none msib1c1=100:dtib1t2");

    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_unlisten, station), 0);
    EXPECT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_unlisten, channel), 0);
    EXPECT_EQ(Control("query routes"), "OK");
}

TEST_F(TdmBusTest, EachLibraryTakesOnlyOpenDevicesOfItsOwnAndOneSlot) {
    const int32_t channel = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    const int32_t station = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1C1", 0);
    const int32_t board = VendorCall(&voice_, &CLibDXXMT::dx_open, "dxxxB1", 0);

    EXPECT_EQ(SlotOf(voice_, &CLibDXXMT::dx_getxmitslot, station), -1);
    EXPECT_EQ(LastError(station), EDV_BADDEVICE);
    EXPECT_EQ(Listen(voice_, &CLibDXXMT::dx_listen, board, 1), -1);
    EXPECT_EQ(LastError(board), EDV_BADDEVICE);
    EXPECT_EQ(Listen(network_, &CLibDTIMT::dt_listen, channel, 1), -1);
    EXPECT_EQ(LastError(channel), EDV_BADDEVICE);

    int32_t slots[2] = {-1, -1};
    SC_TSINFO two{2, slots};
    EXPECT_EQ(VendorCall(&voice_, &CLibDXXMT::dx_getxmitslot, channel, &two), -1);
    EXPECT_EQ(LastError(channel), EDV_BADPARM);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_listen, station, &two), -1);
    EXPECT_EQ(LastError(station), EDV_BADPARM);

    // No analog lines: the analog library refuses every handle.
    EXPECT_EQ(SlotOf(voice_, &CLibDXXMT::ag_getxmitslot, channel), -1);
    EXPECT_EQ(Listen(voice_, &CLibDXXMT::ag_listen, channel, 1), -1);
    EXPECT_EQ(VendorCall(&voice_, &CLibDXXMT::ag_unlisten, channel), -1);

    VendorCall(&voice_, &CLibDXXMT::dx_close, channel);
    EXPECT_EQ(SlotOf(voice_, &CLibDXXMT::dx_getxmitslot, channel), -1);
    EXPECT_EQ(Control("query routes"), "OK");
}

TEST_F(TdmBusTest, NetworkTimeSlotsAndGlobalCallLineDevicesShareTheirTimeSlotsInput) {
    LINEDEV isdn = 0;
    ASSERT_EQ(VendorCall(&network_, &CLibDTIMT::cc_Open, &isdn, "dtiB1T1", 0), 0);
    EXPECT_EQ(SlotOf(network_, &CLibDTIMT::dt_getxmitslot, isdn), 4);

    // Global Call's functions need it started.
    EXPECT_EQ(SlotOf(gc_, &CLibGc::gc_GetXmitSlot, isdn), -1);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Start, nullptr), 0);
    LINEDEV line = 0;
    LINEDEV ip = 0;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_OpenEx, &line, ":N_dtiB1T2:P_isdn", 0, nullptr), 0);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_OpenEx, &ip, ":N_iptB1T2:P_IP:M_ipmB1C2", 0, nullptr),
              0);
    EXPECT_EQ(SlotOf(gc_, &CLibGc::gc_GetXmitSlot, line), 100);
    EXPECT_EQ(SlotOf(gc_, &CLibGc::gc_GetXmitSlot, ip), 8) << "the media channel's slot";

    int32_t network = 0;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetNetworkH, line, &network), 0);
    EXPECT_EQ(Listen(network_, &CLibDTIMT::dt_listen, network, 8), 0);
    EXPECT_EQ(Listen(gc_, &CLibGc::gc_Listen, ip, 100, 0u), 0);
    EXPECT_EQ(Control("query routes"), "OK dtib1t2=8:ipmb1c2 ipmb1c2=100:dtib1t2");
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_UnListen, line, 0u), 0) << "the same input";
    EXPECT_EQ(Control("query routes"), "OK ipmb1c2=100:dtib1t2");

    // An IP line device has no network handle; Global Call's refusal is its error too.
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_GetNetworkH, ip, &network), -1);
    int32_t slots[2] = {0, 0};
    SC_TSINFO two{2, slots};
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_Listen, ip, &two, 0u), -1);
    EXPECT_EQ(LastError(ip), EDV_BADPARM);
}

using TdmBusConfigTest = testing::BoardsimTest;

TEST_F(TdmBusConfigTest, PinsOfDevicesOffTheBusOrOfTakenSlotsAreConfigurationErrors) {
    WriteConfig(
        "voice 1 2\nslot dxxxB1C2 0\nslot dxxxB1C1 0\nslot dcbB1D1 5\nslot dxxxB1C1 4095\n");
    CLibSRLMT machine;  // loads the core
    const std::string config = Control("query config");
    EXPECT_THAT(config, HasSubstr("errors=3"));
    EXPECT_THAT(config, HasSubstr("4095"));
    // The pin that came first holds; the other channel takes the next free slot.
    EXPECT_EQ(Control("query slot dxxxB1C1"), "OK slot=1");
    EXPECT_EQ(Control("query slot dxxxB1C2"), "OK slot=0");
}

}  // namespace
}  // namespace ruzd::boardsim
