// The simulated Aculab call control and Prosody media through the node's tables: what each
// function refuses (a port opened twice, a call in the wrong state, ids of the wrong kind or of
// nothing) and what goes with the object that held it; what the cards report when the control
// socket has queued nothing, and what it refuses to queue.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "telephony/lib_cl_lib.h"
#include "telephony/lib_iptel_lib.h"
#include "telephony/lib_res_lib.h"
#include "telephony/lib_ting.h"
#include "telephony/sized_record.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibCL_Lib;
using telephony::CLibIpTel_Lib;
using telephony::CLibRes_Lib;
using telephony::CLibTiNG;
using telephony::SizedRecord;
using telephony::VendorCall;
using ::testing::HasSubstr;

constexpr int32_t kCard = 0x4000;
constexpr int32_t kModule = 101;

class AculabMediaTest : public testing::BoardsimTest {
protected:
    // The card open with its call capability and its Prosody module.
    void SetUp() override {
        ACU_OPEN_CARD_PARMS open = SizedRecord<ACU_OPEN_CARD_PARMS>();
        std::string("SER-A").copy(open.serial_no, 5);
        ASSERT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_open_card, &open), 0);
        ASSERT_EQ(open.card_id, kCard);
        ACU_CARD_PARMS card = SizedRecord<ACU_CARD_PARMS>();
        card.card_id = kCard;
        ASSERT_EQ(VendorCall(&call_, &CLibCL_Lib::acu_open_call, &card), 0);
        card.size = 0;  // the Prosody records carry no size
        ASSERT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_open_prosody, &card), 0);
        SM_OPEN_MODULE_PARMS module{kCard, 0, 0};
        ASSERT_EQ(VendorCall(&media_, &CLibTiNG::sm_open_module_iPsCAtUiMt_, &module), 0);
        ASSERT_EQ(module.module_id, kModule);
    }

    tSMChannelId Channel(int32_t type, int32_t module = kModule) {
        SM_CHANNEL_ALLOC_PLACED_PARMS record{};
        record.type = type;
        record.module = module;
        VendorCall(&media_, &CLibTiNG::sm_channel_alloc_placed_iPsCte1_4_Mti_, &record);
        return record.channel;
    }

    const bool configured_ = (WriteConfig("aculab SER-A 5 ports=1 porttype=36 modules=1\n"), true);
    CLibRes_Lib resource_{"Res_Lib.dll"};
    CLibCL_Lib call_{"CL_Lib.dll"};
    CLibTiNG media_{"TiNG.dll"};
};

TEST_F(AculabMediaTest, CallsTakeTheirStatesInTurn) {
    CALL_OPEN_PORT_PARMS port = SizedRecord<CALL_OPEN_PORT_PARMS>();
    port.card_id = kCard;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_open_port, &port), 0);
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_open_port, &port), -5);
    port.port_ix = 1;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_open_port, &port), -1);

    CALL_OPEN_OUT_PARMS out = SizedRecord<CALL_OPEN_OUT_PARMS>();
    out.net = 0x100;
    out.vmprx = reinterpret_cast<tSMVMPrxId>(Channel(kSMChannelTypeInput));
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_openout, &out), -1) << "no VMP context";
    out.vmprx = nullptr;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_openout, &out), 0);
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_accept, out.handle), -6);
    CALL_DISCONNECT_PARMS disconnect = SizedRecord<CALL_DISCONNECT_PARMS>();
    disconnect.handle = out.handle;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_disconnect, &disconnect), 0);
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_disconnect, &disconnect), -6);
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::error_2_string, -6),
              std::string("Call in the wrong state"));

    // The call capability's close ends the card's ports and their calls.
    ACU_CARD_PARMS card = SizedRecord<ACU_CARD_PARMS>();
    card.card_id = kCard;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::acu_close_call, &card), 0);
    EXPECT_EQ(Control("query acuport 256"), "ERR no Aculab port 256");
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_release, out.handle), -1);
}

TEST_F(AculabMediaTest, MediaIdsAreCheckedAndGoWithWhatHeldThem) {
    EXPECT_EQ(Channel(kSMChannelTypeInput, 999), nullptr);
    const tSMChannelId output = Channel(kSMChannelTypeOutput);
    SM_SWITCH_CHANNEL_PARMS wrong{output, 64, 3, 0};
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_switch_channel_input_iPsCtiie1_3__, &wrong), -1);

    SM_TDMRX_CREATE_PARMS fromSlot{nullptr, kModule, 64, 3, 0};
    SM_TDMTX_CREATE_PARMS toSlot{nullptr, kModule, 64, 3, 0};
    ASSERT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmrx_create_iPsTrMtiie1_3__, &fromSlot), 0);
    ASSERT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmtx_create_iPsTtMtiie1_3__, &toSlot), 0);
    SM_TDMRX_DATAFEED_PARMS feed{fromSlot.tdmrx, nullptr};
    ASSERT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmrx_get_datafeed_iPsTrDt_, &feed), 0);
    SM_TDMTX_DATAFEED_CONNECT_PARMS connect{toSlot.tdmtx, reinterpret_cast<tSMDataFeedId>(output)};
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmtx_datafeed_connect_iPsDtTt_, &connect), -1);
    connect.data_source = feed.datafeed;
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmtx_datafeed_connect_iPsDtTt_, &connect), 0);
    EXPECT_THAT(Control("query prosody 101"), HasSubstr(":64:3:from=tdmrx:"));
    // The receive context destroyed, the transmit context takes nothing.
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_vmprx_destroy_iVr,
                         reinterpret_cast<tSMVMPrxId>(fromSlot.tdmrx)),
              -1);
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_tdmrx_destroy_iTr, fromSlot.tdmrx), 0);
    EXPECT_THAT(Control("query prosody 101"), HasSubstr(":64:3:from=none"));

    // The module closed, nothing of it is left.
    SM_CLOSE_MODULE_PARMS module{kModule};
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_close_module_iPsMt_, &module), 0);
    EXPECT_EQ(Control("query prosody 101"), "OK none");
    EXPECT_EQ(VendorCall(&media_, &CLibTiNG::sm_channel_release_iCt, output), -1);
}

TEST_F(AculabMediaTest, TheCardsReportOnlyWhatWasQueued) {
    STATE_XPARMS event = SizedRecord<STATE_XPARMS>();
    event.handle = 77;
    EXPECT_EQ(VendorCall(&call_, &CLibCL_Lib::call_event, &event), 0);
    EXPECT_EQ(event.handle, 0);
    EXPECT_EQ(Control("acuevent 4096 2"), "ERR no Aculab call 4096");
    EXPECT_THAT(Control("acuevent 4096 2 stream=64"), HasSubstr("ERR usage"));
    EXPECT_EQ(Control("iptnotify SER-X 1"), "ERR no Aculab card SER-X");

    // A notification is taken once.
    ASSERT_EQ(Control("acusys 5 SER-A"), "OK");
    ACU_SYSTEM_NOTIFICATION_PARMS notice = SizedRecord<ACU_SYSTEM_NOTIFICATION_PARMS>();
    EXPECT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_get_system_notification, &notice), 0);
    EXPECT_EQ(notice.kind, 5u);
    EXPECT_STREQ(notice.serial_no, "SER-A");
    EXPECT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_get_system_notification, &notice), 0);
    EXPECT_EQ(notice.kind, 0u);

    // The IP card's notice once, its state until changed; an unknown card has none.
    CLibIpTel_Lib ipt{"IpTel_Lib.dll"};
    ASSERT_EQ(Control("iptnotify SER-A 3"), "OK");
    IPT_CARD_NOTIFICATION_PARMS card = SizedRecord<IPT_CARD_NOTIFICATION_PARMS>();
    card.card_id = kCard;
    EXPECT_EQ(VendorCall(&ipt, &CLibIpTel_Lib::ipt_get_card_notification, &card), 0);
    EXPECT_EQ(card.notification, 3);
    EXPECT_EQ(VendorCall(&ipt, &CLibIpTel_Lib::ipt_get_card_notification, &card), 0);
    EXPECT_EQ(card.notification, 0);
    ACU_PROSODY_IP_CARD_STATUS_PARMS status = SizedRecord<ACU_PROSODY_IP_CARD_STATUS_PARMS>();
    std::string("SER-A").copy(status.serial_no, 5);
    EXPECT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_prosody_ip_card_status, &status), 0);
    EXPECT_STREQ(status.state, "In service");
    ASSERT_EQ(Control("acustatus SER-A Booting  up"), "OK");
    EXPECT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_prosody_ip_card_status, &status), 0);
    EXPECT_STREQ(status.state, "Booting  up");
    std::string("SER-B").copy(status.serial_no, 5);
    EXPECT_EQ(VendorCall(&resource_, &CLibRes_Lib::acu_prosody_ip_card_status, &status), -2);
}

}  // namespace
}  // namespace ruzd::boardsim
