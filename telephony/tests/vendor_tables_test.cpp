// Every table against a complete stub of its library, against one that lacks an export, and
// without its library.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "telephony/tests/bound_members.h"
#include "telephony/tests/stubs/stub_value.h"
#include "telephony/tests/vendor_stub_fixture.h"
#include "telephony/vendor_call.h"

namespace ruzd::telephony {
namespace {

using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class VendorTablesTest : public VendorStubTest {
protected:
    // A complete table: loaded, nothing missing, nothing logged, every member bound except
    // the older names of the pairs, which stand in only for missing newer ones.
    template <typename Table>
    void ExpectComplete(const Table& table, size_t exports) {
        EXPECT_TRUE(table.IsLoaded());
        EXPECT_TRUE(table.AllFunctionsLoaded());
        const std::vector<BoundMember> members = Members(table);
        EXPECT_EQ(members.size(), exports);
        for (const BoundMember& member : members) {
            const bool older = member.name == "sm_get_card_info_iPsCAte1_7_iiUiUiUicr16_" ||
                               member.name == "sm_condition_adjust_iPsCte1_3_i_";
            EXPECT_EQ(member.bound, !older) << member.name;
        }
        EXPECT_THAT(Texts(), IsEmpty());
    }
};

TEST_F(VendorTablesTest, TheDialogicTablesBindCompleteLibrariesUnderTheirDefaultNames) {
    Install("stub_libgc", "libgc");
    Install("stub_libsrlmt", "libsrlmt");
    Install("stub_libdxxmt", "libdxxmt");
    Install("stub_libdtimt", "libdtimt");
    Install("stub_libipm", "libipm");
    Install("stub_libecmt", "libecmt");
    Install("stub_ncmapi", "NCMAPI");

    CLibGc gc;
    ExpectComplete(gc, 72);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Stop), StubNumber("gc_Stop"));
    CLibSRLMT srl;
    ExpectComplete(srl, 15);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::sr_waitevt, 0), StubNumber("sr_waitevt"));
    CLibDXXMT voice;
    ExpectComplete(voice, 59);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::ATDX_LINEST, 1), StubNumber("ATDX_LINEST"));
    CLibDTIMT network;
    ExpectComplete(network, 84);
    EXPECT_EQ(VendorCall(&network, &CLibDTIMT::dcb_DeleteAllConferences, 1, 0, 0),
              StubNumber("dcb_DeleteAllConferences"));
    CLibIPM ipm;
    ExpectComplete(ipm, 2);
    CLibECMT speech;
    ExpectComplete(speech, 3);
    EXPECT_EQ(VendorCall(&speech, &CLibECMT::ec_stopch, 1, 2u, uint16_t{0x8000}),
              StubNumber("ec_stopch"));
    CLibNCMAPI ncm;
    ExpectComplete(ncm, 7);
    EXPECT_TRUE(ncm.IsComplete());
    EXPECT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_StartDlgSrv), StubNumber("NCM_StartDlgSrv"));
}

TEST_F(VendorTablesTest, TheTablesNamedByTheFacadeBindCompleteLibraries) {
    Install("stub_xdslibsc", "XDSlibsc");
    Install("stub_cl_lib", "CL_Lib");
    Install("stub_res_lib", "Res_Lib");
    Install("stub_sw_lib", "SW_Lib");
    Install("stub_iptel_lib", "IpTel_Lib");
    Install("stub_ting", "TiNG");

    CLibXDS xds("XDSlibsc.dll");
    ExpectComplete(xds, 12);
    EXPECT_EQ(VendorCall(&xds, &CLibXDS::xds_msg_on, uint8_t{1}), StubNumber("xds_msg_on"));
    CLibCL_Lib call("CL_Lib.dll");
    ExpectComplete(call, 50);
    EXPECT_EQ(VendorCall(&call, &CLibCL_Lib::error_2_string, 5), nullptr);
    CLibRes_Lib resource("Res_Lib.dll");
    ExpectComplete(resource, 13);
    CLibSW_Lib sw("SW_Lib.dll");
    ExpectComplete(sw, 5);
    EXPECT_EQ(VendorCall(&sw, &CLibSW_Lib::sw_reset_switch, 3), StubNumber("sw_reset_switch"));
    CLibIpTel_Lib iptel("IpTel_Lib.dll");
    ExpectComplete(iptel, 11);
    CLibTiNG ting("TiNG.dll");
    ExpectComplete(ting, 65);
}

TEST_F(VendorTablesTest, AMissingExportIsLoggedOnceAndTheRestStillWorks) {
    Install("stub_libdxxmt_no_dial", "libdxxmt");
    CLibDXXMT voice;
    EXPECT_TRUE(voice.IsLoaded());
    EXPECT_FALSE(voice.AllFunctionsLoaded());
    EXPECT_EQ(voice.dx_dial, nullptr);
    EXPECT_THAT(Lines().size(), 1u);
    EXPECT_THAT(Texts(), ElementsAre("dx_dial not loaded"));
    EXPECT_EQ(Lines()[0].kind, 0);
    EXPECT_EQ(Lines()[0].device, 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_dial, 1, "123", nullptr, uint16_t{0}), 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_getxmitslot, 1, nullptr),
              StubNumber("dx_getxmitslot"));
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::ATDX_TERMMSK, 1), StubNumber("ATDX_TERMMSK"));
}

TEST_F(VendorTablesTest, EveryTableWithoutItsLibraryIsEmptyAndSilent) {
    CLibGc gc;
    CLibSRLMT srl;
    CLibDXXMT voice;
    CLibDTIMT network;
    CLibIPM ipm;
    CLibECMT speech;
    CLibNCMAPI ncm;
    CLibXDS xds("XDSlibsc.dll");
    CLibCL_Lib call("CL_Lib.dll");
    CLibRes_Lib resource("Res_Lib.dll");
    CLibSW_Lib sw("SW_Lib.dll");
    CLibIpTel_Lib iptel("IpTel_Lib.dll");
    CLibTiNG ting("TiNG.dll");
    const auto expect_empty = [](const auto& table) {
        EXPECT_FALSE(table.IsLoaded());
        EXPECT_TRUE(table.AllFunctionsLoaded());
        for (const BoundMember& member : Members(table))
            EXPECT_FALSE(member.bound) << member.name;
    };
    expect_empty(gc);
    expect_empty(srl);
    expect_empty(voice);
    expect_empty(network);
    expect_empty(ipm);
    expect_empty(speech);
    expect_empty(ncm);
    expect_empty(xds);
    expect_empty(call);
    expect_empty(resource);
    expect_empty(sw);
    expect_empty(iptel);
    expect_empty(ting);
    EXPECT_FALSE(ncm.IsComplete());
    EXPECT_EQ(ting.CallGetCardInfo(nullptr), 0);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::sr_getevtdatap_0, 0), nullptr);
    EXPECT_THAT(Texts(), IsEmpty());
}

TEST_F(VendorTablesTest, ANameGivenByTheCreatorReplacesTheDefault) {
    Install("stub_libdxxmt", "voice2");
    CLibDXXMT voice("voice2.dll");
    EXPECT_TRUE(voice.IsLoaded());
    EXPECT_EQ(voice.GetName(), "voice2.dll");
}

}  // namespace
}  // namespace ruzd::telephony
