// The configured boards: their counts, the names of their devices and what the
// configuration manager reports about them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "telephony/lib_dtimt.h"
#include "telephony/lib_dxxmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_ncmapi.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_xds.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDTIMT;
using telephony::CLibDXXMT;
using telephony::CLibGc;
using telephony::CLibNCMAPI;
using telephony::CLibSRLMT;
using telephony::CLibXDS;
using telephony::VendorCall;
using ::testing::ElementsAre;

class BoardsTest : public testing::BoardsimTest {
protected:
    int32_t BoardCount(CLibSRLMT& srl, const char* class_name) {
        int32_t count = -7;
        const int32_t result = VendorCall(&srl, &CLibSRLMT::sr_getboardcnt, class_name, &count);
        return result == 0 ? count : -result * 1000;
    }

    static std::vector<std::string> Names(const NCMVALUE* list) {
        std::vector<std::string> names;
        for (; list != nullptr; list = list->next)
            names.push_back(list->name);
        return names;
    }
};

TEST_F(BoardsTest, TheDefaultMachineHasOneBoardOfEveryKind) {
    CLibSRLMT srl;
    for (const char* name : {"Voice", "DTI", "MSI", "DCB", "IPT", "IPM"})
        EXPECT_EQ(BoardCount(srl, name), 1) << name;
    EXPECT_EQ(BoardCount(srl, "FAX"), 1000) << "an unknown class fails";
    EXPECT_EQ(Control("query boards"), "OK Voice=1 DTI=1 MSI=1 DCB=1 IPT=1 IPM=1 Amtelco=1");
    EXPECT_EQ(Control("query service"), "OK running");
    EXPECT_EQ(Control("query config"), "OK errors=0");
}

TEST_F(BoardsTest, TheConfigurationGivesTheBoardsAndTheirDevices) {
    WriteConfig(
        "# two voice boards of 8 channels\n"
        "voice 2 8\n"
        "  # T1 spans\n"
        "network 2 24\n"
        "station 0 0\n"
        "conference 3 4 16\n"
        "ip 2 10\n"
        "amtelco 4\n"
        "wings 2\n");
    CLibSRLMT srl;
    CLibDXXMT voice;
    CLibDTIMT network;
    EXPECT_EQ(BoardCount(srl, "voice"), 2);
    EXPECT_EQ(BoardCount(srl, "DTI"), 2);
    EXPECT_EQ(BoardCount(srl, "MSI"), 0);
    EXPECT_EQ(BoardCount(srl, "DCB"), 3);
    EXPECT_EQ(BoardCount(srl, "IPT"), 2);
    EXPECT_EQ(BoardCount(srl, "IPM"), 2);
    EXPECT_EQ(Control("query config"), "OK errors=1; line 9: cannot read \"wings 2\"");

    EXPECT_GT(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB2C8", 0), 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB2C9", 0), -1);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB3C1", 0), -1);
    EXPECT_EQ(VendorCall(&network, &CLibDTIMT::ms_open, "msiB1", 0), -1);
    const int32_t board = VendorCall(&network, &CLibDTIMT::dcb_open, "DCBB3", 0);
    ASSERT_GT(board, 0) << "names are not case-sensitive";
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_SUBDEVS, board), 4);
    EXPECT_STREQ(VendorCall(&srl, &CLibSRLMT::ATDV_NAMEP, board), "DCBB3");
    const int32_t span = VendorCall(&network, &CLibDTIMT::dt_open, "dtiB2", 0);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_SUBDEVS, span), 24);
}

TEST_F(BoardsTest, EachLibraryOpensOnlyItsOwnDevices) {
    CLibDXXMT voice;
    CLibDTIMT network;
    CLibGc gc;
    LINEDEV line = 0;
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dtiB1T1", 0), -1);
    EXPECT_EQ(VendorCall(&network, &CLibDTIMT::dt_open, "dxxxB1C1", 0), -1);
    EXPECT_EQ(VendorCall(&network, &CLibDTIMT::cc_Open, &line, "dxxxB1", 0), -1);
    EXPECT_EQ(VendorCall(&network, &CLibDTIMT::cc_Open, &line, "dtiB1T30", 0), 0);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":N_dtiB1T2:P_ISDN", 0), -1)
        << "Global Call opens nothing before it has started";
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_Start, nullptr), 0);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":N_dtiB1T2:P_ISDN", 0), 0);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":P_IP:N_iptB1", 0), 0);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":M_ipmB1", 0), 0);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":N_iptB2T1:P_SIP", 0), -1);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Open, &line, ":P_SIP", 0), -1);
}

TEST_F(BoardsTest, ClosedDevicesKeepTheirNamesButNotTheirHandles) {
    CLibDXXMT voice;
    CLibSRLMT srl;
    const int32_t first = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_close, first), 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_close, first), -1);
    EXPECT_STREQ(VendorCall(&srl, &CLibSRLMT::ATDV_NAMEP, first), "dxxxB1C1");
    const int32_t second = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_NAMEP, 999), nullptr);
    EXPECT_STREQ(VendorCall(&srl, &CLibSRLMT::ATDV_ERRMSGP, second), "No error");
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_LASTERR, 999), EDV_BADDEVICE);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_SUBDEVS, 999), -1);
}

TEST_F(BoardsTest, VoiceChannelsGiveTheFeatureTableOfTheirBoard) {
    WriteConfig(
        "voice 3 2\n"
        "features 0x3 0x5 0x9 0\n"
        "features 0x1 0 0x2 0x200 2\n"
        "features 1 2 3\n"
        "features 1 2 3 4 0\n"
        "features 1 2 3 0x10000\n");
    CLibDXXMT voice;
    EXPECT_EQ(Control("query config"),
              "OK errors=3; line 4: cannot read \"features 1 2 3\"; line 5: cannot read "
              "\"features 1 2 3 4 0\"; line 6: cannot read \"features 1 2 3 0x10000\"");
    auto features = [&voice](const char* name) {
        FEATURE_TABLE table;
        std::memset(&table, 0xEE, sizeof table);
        const int32_t channel = VendorCall(&voice, &CLibDXXMT::dx_open, name, 0);
        const int32_t result = VendorCall(&voice, &CLibDXXMT::dx_getfeaturelist, channel, &table);
        return std::vector<int32_t>{result,          table.ft_play,        table.ft_record,
                                    table.ft_tone,   table.ft_e2p_brd_cfg, table.ft_fax,
                                    table.ft_rfu[22]};
    };
    EXPECT_THAT(features("dxxxB1C2"), ElementsAre(0, 3, 5, 9, 0, 0, 0));
    EXPECT_THAT(features("DXXXB2C1"), ElementsAre(0, 1, 0, 2, 0x200, 0, 0));
    EXPECT_THAT(features("dxxxB3C1"), ElementsAre(0, 3, 5, 9, 0, 0, 0));
    // A board device and a closed channel have no feature table: it is left as it was.
    EXPECT_THAT(features("dxxxB1"),
                ElementsAre(-1, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE));
    FEATURE_TABLE table{};
    const int32_t channel = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    ASSERT_EQ(VendorCall(&voice, &CLibDXXMT::dx_close, channel), 0);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_getfeaturelist, channel, &table), -1);
}

TEST_F(BoardsTest, TheDefaultFeatureTablePlaysAndRecords) {
    CLibDXXMT voice;
    FEATURE_TABLE table{};
    const int32_t channel = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    ASSERT_EQ(VendorCall(&voice, &CLibDXXMT::dx_getfeaturelist, channel, &table), 0);
    EXPECT_EQ(table.ft_play, 0x1F);
    EXPECT_EQ(table.ft_record, 0x1F);
    EXPECT_EQ(table.ft_tone, 0x7);
    EXPECT_EQ(table.ft_e2p_brd_cfg, 0);
}

TEST_F(BoardsTest, TheConfigurationManagerReportsTheServiceAndTheInstallation) {
    WriteConfig(
        "family DM3 DMV960A-4T1; DMV600BTEP\nfamily HMP_Software HMP_Software #0 in slot 0\n"
        "address 10.1.2.3\nbus SCbus MuLaw\n");
    CLibNCMAPI ncm;
    NCM_DLGSRV_STATE state = 0;
    EXPECT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetDlgSrvStateEx, &state), 0);
    EXPECT_EQ(state, NCM_DLGSRV_RUNNING);
    ASSERT_EQ(Control("service stopped"), "OK");
    VendorCall(&ncm, &CLibNCMAPI::NCM_GetDlgSrvStateEx, &state);
    EXPECT_EQ(state, NCM_DLGSRV_STOPPED);
    EXPECT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_StartDlgSrv), 0);
    VendorCall(&ncm, &CLibNCMAPI::NCM_GetDlgSrvStateEx, &state);
    EXPECT_EQ(state, NCM_DLGSRV_RUNNING);

    NCMFamily* families = nullptr;
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetInstalledFamilies, &families), 0);
    EXPECT_THAT(Names(families), ElementsAre("DM3", "HMP_Software"));
    NCMDevice* devices = nullptr;
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetInstalledDevices, families, &devices), 0);
    EXPECT_THAT(Names(devices), ElementsAre("DMV960A-4T1", "DMV600BTEP"));
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, devices);
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetInstalledDevices, families->next, &devices), 0);
    EXPECT_THAT(Names(devices), ElementsAre("HMP_Software #0 in slot 0"));
    char address[128];
    NCMVALUE model{const_cast<char*>("HMP"), nullptr};
    EXPECT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetDefaultIPAddress, families->next, &model,
                         devices, address),
              0);
    EXPECT_STREQ(address, "10.1.2.3");
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, devices);
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, families);

    NCMVALUE bus{const_cast<char*>("Bus-0"), nullptr};
    NCMVALUE parameter{const_cast<char*>("TDM Bus Type (Resolved)"), nullptr};
    NCMVALUE* value = nullptr;
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetTDMBusValue, &bus, &parameter, &value), 0);
    EXPECT_THAT(Names(value), ElementsAre("SCbus"));
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, value);
    parameter.name = const_cast<char*>("Media Type (Resolved)");
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetTDMBusValue, &bus, &parameter, &value), 0);
    EXPECT_THAT(Names(value), ElementsAre("MuLaw"));
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, value);
}

TEST_F(BoardsTest, WithoutFamiliesConfiguredTheHostMediaFamilyIsReported) {
    CLibNCMAPI ncm;
    NCMFamily* families = nullptr;
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetInstalledFamilies, &families), 0);
    EXPECT_THAT(Names(families), ElementsAre("HMP_Software"));
    NCMDevice* devices = nullptr;
    ASSERT_EQ(VendorCall(&ncm, &CLibNCMAPI::NCM_GetInstalledDevices, families, &devices), 0);
    EXPECT_THAT(Names(devices), ElementsAre("HMP_Software #0"));
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, devices);
    VendorCall(&ncm, &CLibNCMAPI::NCM_Dealloc, families);
}

TEST_F(BoardsTest, BoardMessagesWaitForTheirBoard) {
    CLibXDS xds("XDSlibsc.dll");
    ASSERT_EQ(Control("boardmsg 1 16 0 QMT0123456789F3 rest"), "OK");
    ASSERT_EQ(Control("boardquery 1 2 2 IA"), "OK");
    XDS_MSG message{};
    message.board = 2;
    EXPECT_EQ(VendorCall(&xds, &CLibXDS::xds_msg_receive, &message), XDS_NO_MESSAGE);
    message.board = 1;
    ASSERT_EQ(VendorCall(&xds, &CLibXDS::xds_msg_receive, &message), XDS_OK);
    EXPECT_EQ(message.board, 1);
    EXPECT_EQ(message.group, 16);
    EXPECT_EQ(message.type, 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(&message) + XDS_MSG_TEXT_OFFSET,
                 "QMT0123456789F3 rest");
    EXPECT_EQ(VendorCall(&xds, &CLibXDS::xds_msg_receive, &message), XDS_NO_MESSAGE);
    ASSERT_EQ(VendorCall(&xds, &CLibXDS::xds_query_receive, &message), XDS_OK);
    EXPECT_STREQ(message.text, "IA");

    XDS_ID id{};
    EXPECT_EQ(VendorCall(&xds, &CLibXDS::xds_id, uint8_t{1}, &id), 0);
    EXPECT_STREQ(id.id, "XDS1");
    EXPECT_NE(VendorCall(&xds, &CLibXDS::xds_id, uint8_t{2}, &id), 0) << "one board by default";
}

}  // namespace
}  // namespace ruzd::boardsim
