// Stations and conferences on the simulated boards through the vendor tables: a station's ring
// against its hook, and conferences that take resources and listen slots, refuse what they do
// not know and are cleared wholesale.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "telephony/lib_dtimt.h"
#include "telephony/lib_srlmt.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDTIMT;
using telephony::CLibSRLMT;
using telephony::VendorCall;

class ConferencesTest : public testing::BoardsimTest {
protected:
    int32_t LastError(int32_t handle) {
        return VendorCall(&srl_, &CLibSRLMT::ATDV_LASTERR, handle);
    }
    int32_t Free(int32_t dsp) {
        int32_t count = -1;
        return VendorCall(&network_, &CLibDTIMT::dcb_dsprescount, dsp, &count) == 0 ? count : -1;
    }

    // Written before the first table loads the machine: 12 bus devices on slots 0 to 11.
    const bool configured_ = (WriteConfig("voice 1 2\nnetwork 1 2\nstation 1 8 4\n"
                                          "conference 1 1 3\nip 0 0\nleftover dcbB1D1 1\n"),
                              true);
    CLibSRLMT srl_;
    CLibDTIMT network_;
};

TEST_F(ConferencesTest, AStationRingsOnlyOnHookUntilAnsweredOrStopped) {
    ASSERT_EQ(Control("query config"), "OK errors=0");
    const int32_t station = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1C2", 0);
    ASSERT_GT(station, 0);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_genring, station, uint16_t{2}, uint16_t{0}), 0);
    EXPECT_EQ(Control("query station msiB1C2"), "OK hook=on ringing=1 rings=1");
    EXPECT_EQ(Control("hook msiB1C2 off"), "OK events=1");
    EXPECT_EQ(Control("query station msiB1C2"), "OK hook=off ringing=0 rings=1");
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ATMS_TSSGBIT, station), MS_OFFHOOK);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_genring, station, uint16_t{2}, uint16_t{0}), -1);
    EXPECT_EQ(LastError(station), EDV_BUSY);

    EXPECT_EQ(Control("hook msiB1C2 on"), "OK events=1");
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ATMS_TSSGBIT, station), 0);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_genring, station, uint16_t{2}, uint16_t{0}), 0);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_stopfn, station, uint32_t{1}), 0);
    EXPECT_EQ(Control("query station msiB1C2"), "OK hook=on ringing=0 rings=2");
    EXPECT_EQ(Control("query events"), "OK 2");
}

TEST_F(ConferencesTest, PartiesTakeResourcesAndListenSlots) {
    const int32_t dsp = VendorCall(&network_, &CLibDTIMT::dcb_open, "dcbB1D1", 0);
    ASSERT_GT(dsp, 0);
    EXPECT_EQ(Control("query conferences"), "OK dcbb1d1 id=1 parties=none");
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_DeleteAllConferences, dsp, 0, 0), 0);
    EXPECT_EQ(Control("query conferences"), "OK");

    MS_CDT parties[2] = {{3, 16, 0}, {9, 16, 1}};
    int32_t id = 0;
    ASSERT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_estconf, dsp, parties, 2, 0, &id), 0);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(parties[0].chan_attr, 12);
    EXPECT_EQ(parties[1].chan_attr, 13);
    EXPECT_EQ(Free(dsp), 1);

    // Too few resources, then an unknown party or conference.
    MS_CDT third[2] = {{4, 16, 0}, {5, 16, 0}};
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_estconf, dsp, third, 2, 0, &id), -1);
    EXPECT_EQ(LastError(dsp), EDV_BUSY);
    MS_CDT stranger{4, 16, 0};
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_remfromconf, dsp, 2, &stranger), -1);
    EXPECT_EQ(LastError(dsp), EDV_BADPARM);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_addtoconf, dsp, 5, &stranger), -1);

    // The first party leaves; its slot is the next joiner's.
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_remfromconf, dsp, 2, &parties[0]), 0);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_addtoconf, dsp, 2, &stranger), 0);
    EXPECT_EQ(stranger.chan_attr, 12);
    EXPECT_EQ(Control("query conferences dcbB1D1"), "OK dcbb1d1 id=2 parties=9/16/1/13,4/16/0/12");
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::dcb_delconf, dsp, 2), 0);
    EXPECT_EQ(Free(dsp), 3);

    // A station's conference goes on its board, not on the station.
    const int32_t board = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1", 0);
    const int32_t station = VendorCall(&network_, &CLibDTIMT::ms_open, "msiB1C1", 0);
    EXPECT_EQ(VendorCall(&network_, &CLibDTIMT::ms_estconf, station, parties, 1, 0, &id), -1);
    EXPECT_EQ(LastError(station), EDV_BADDEVICE);
    ASSERT_EQ(VendorCall(&network_, &CLibDTIMT::ms_estconf, board, parties, 1, 0, &id), 0);
    EXPECT_EQ(id, 0x150001);
}

}  // namespace
}  // namespace ruzd::boardsim
