// The simulated libraries loaded as the node loads them, through its tables.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "telephony/lib_cl_lib.h"
#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_ecmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_ipm.h"
#include "telephony/lib_iptel_lib.h"
#include "telephony/lib_ncmapi.h"
#include "telephony/lib_res_lib.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_sw_lib.h"
#include "telephony/lib_ting.h"
#include "telephony/lib_xds.h"
#include "telephony/vendor_call.h"
#include "telephony/vendor_log.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::VendorCall;

class VendorLibrariesTest : public testing::BoardsimTest {};

TEST_F(VendorLibrariesTest, EveryTableBindsItsSimulatedLibraryCompletely) {
    std::vector<std::string> logged;
    telephony::SetVendorLogObserver(
        [&logged](int, int32_t, const std::string& text) { logged.push_back(text); });
    {
        telephony::CLibGc gc;
        telephony::CLibSRLMT srl;
        telephony::CLibIPM ipm;
        telephony::CLibDXXMT voice;
        telephony::CLibDTIMT network;
        telephony::CLibECMT speech;
        telephony::CLibXDS xds("XDSlibsc.dll");
        telephony::CLibNCMAPI ncm;
        for (const telephony::PDLL* table : std::vector<const telephony::PDLL*>{
                 &gc, &srl, &ipm, &voice, &network, &speech, &xds, &ncm}) {
            EXPECT_TRUE(table->IsLoaded()) << table->GetName();
            EXPECT_TRUE(table->AllFunctionsLoaded()) << table->GetName();
        }
        EXPECT_TRUE(ncm.IsComplete());
    }
    telephony::SetVendorLogObserver(nullptr);
    EXPECT_THAT(logged, ::testing::IsEmpty());
}

TEST_F(VendorLibrariesTest, TheLibrariesShareOneMachineAlthoughLoadedLocally) {
    telephony::CLibDXXMT voice;
    telephony::CLibSRLMT srl;
    const int32_t channel = VendorCall(&voice, &telephony::CLibDXXMT::dx_open, "dxxxB1C2", 0);
    ASSERT_GT(channel, 0);
    EXPECT_STREQ(VendorCall(&srl, &telephony::CLibSRLMT::ATDV_NAMEP, channel), "dxxxB1C2");
    EXPECT_EQ(Control("query device dxxxB1C2"),
              "OK handle=" + std::to_string(channel) + " name=dxxxB1C2 subdevices=0 open=1");
}

TEST_F(VendorLibrariesTest, TheMachineGoesWithTheLastLibraryAndComesBackFresh) {
    {
        telephony::CLibDXXMT voice;
        EXPECT_TRUE(CoreLoaded());
        EXPECT_EQ(Control("ping"), "OK pong");
        VendorCall(&voice, &telephony::CLibDXXMT::dx_open, "dxxxB1C1", 0);
    }
    EXPECT_FALSE(CoreLoaded());
    EXPECT_FALSE(std::filesystem::exists(JournalPath().parent_path() / "control"))
        << "the control socket goes with the machine";

    WriteConfig("voice 3 2\n");
    telephony::CLibSRLMT srl;
    int32_t count = 0;
    EXPECT_EQ(VendorCall(&srl, &telephony::CLibSRLMT::sr_getboardcnt, "Voice", &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Control("query devices"), "OK") << "nothing of the first machine is left";
}

TEST_F(VendorLibrariesTest, EveryAculabTableBindsItsSimulatedLibraryCompletely) {
    telephony::CLibCL_Lib call("CL_Lib.dll");
    telephony::CLibRes_Lib resource("Res_Lib.dll");
    telephony::CLibSW_Lib switch_table("SW_Lib.dll");
    telephony::CLibIpTel_Lib ip_telephony("IpTel_Lib.dll");
    telephony::CLibTiNG media("TiNG.dll");
    for (const telephony::PDLL* table : std::vector<const telephony::PDLL*>{
             &call, &resource, &switch_table, &ip_telephony, &media}) {
        EXPECT_TRUE(table->IsLoaded()) << table->GetName();
        EXPECT_TRUE(table->AllFunctionsLoaded()) << table->GetName();
    }
    EXPECT_EQ(Control("ping"), "OK pong") << "on the one machine";
}

}  // namespace
}  // namespace ruzd::boardsim
