// The IP side of the simulated boards: IP media boards configured apart from the IP
// call-control boards, the configuration, authentication and service requests kept with the
// blocks they brought, and forced failures that begin after some good calls.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "boardsim/tests/call_fixture.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibGc;
using telephony::CLibSRLMT;
using telephony::VendorCall;
using ::testing::HasSubstr;

class IpServicesTest : public CallTest {
protected:
    // Starts Global Call with every library and opens the first IP call-control board.
    LINEDEV OpenBoard() {
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_Start, nullptr), 0);
        LINEDEV board = 0;
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_OpenEx, &board, ":P_IP:N_iptB1", 0, nullptr), 0);
        return board;
    }
    int32_t InsertValue(GC_PARM_BLKP* block, uint16_t set, uint16_t parm, uint8_t size,
                        uint32_t value) {
        return VendorCall(&gc_, &CLibGc::gc_util_insert_parm_val, block, set, parm, size, value);
    }
    int32_t InsertReference(GC_PARM_BLKP* block, uint16_t set, uint16_t parm, uint8_t size,
                            void* data) {
        return VendorCall(&gc_, &CLibGc::gc_util_insert_parm_ref, block, set, parm, size, data);
    }
    void Delete(GC_PARM_BLKP block) { VendorCall(&gc_, &CLibGc::gc_util_delete_parm_blk, block); }
};

// The board configuration is read when the first library loads: these load theirs after it.
using IpBoardsTest = testing::BoardsimTest;

TEST_F(IpBoardsTest, MediaBoardsMayBeConfiguredApart) {
    WriteConfig("ip 2 30\nipm 3 10\n");
    CLibSRLMT srl;
    CLibGc gc;
    EXPECT_THAT(Control("query boards"), HasSubstr(" IPT=2 IPM=3 "));
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_Start, nullptr), 0);
    LINEDEV media = 0;
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_OpenEx, &media, ":M_ipmB3", 0, nullptr), 0);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_SUBDEVS, media), 10);
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_OpenEx, &media, ":M_ipmB4", 0, nullptr), -1);
    LINEDEV call_control = 0;
    ASSERT_EQ(VendorCall(&gc, &CLibGc::gc_OpenEx, &call_control, ":P_IP:N_iptB2", 0, nullptr), 0);
    EXPECT_EQ(VendorCall(&srl, &CLibSRLMT::ATDV_SUBDEVS, call_control), 30);
}

TEST_F(IpBoardsTest, WithoutTheirOwnSettingMediaBoardsFollowTheIpBoards) {
    WriteConfig("ip 4 2\nipm 1\n");
    CLibSRLMT srl;
    EXPECT_THAT(Control("query boards"), HasSubstr(" IPT=4 IPM=4 "));
    EXPECT_THAT(Control("query config"), HasSubstr("errors=1"));
}

TEST_F(IpServicesTest, ConfigurationAndServiceRequestsAreKeptUnderTheirIds) {
    const LINEDEV board = OpenBoard();
    GC_PARM_BLKP block = nullptr;
    char header[] = "Reason";
    ASSERT_EQ(InsertValue(&block, 0x300E, 1, 1, 6), 0);
    ASSERT_EQ(InsertReference(&block, 0x3019, 4, sizeof header, header), 0);
    int32_t request = 0;
    ASSERT_EQ(
        VendorCall(&gc_, &CLibGc::gc_SetConfigData, 9, board, block, 0, 0, &request, GC_ASYNC), 0);
    EXPECT_EQ(request, 1);
    uint32_t service = 0;
    ASSERT_EQ(
        VendorCall(&gc_, &CLibGc::gc_ReqService, 9, board, &service, block, nullptr, GC_ASYNC), 0);
    EXPECT_EQ(service, 2u);
    Delete(block);

    EXPECT_EQ(Control("query request 1"),
              "OK id=1 function=gc_SetConfigData device=:P_IP:N_iptB1 target=9 0x300e/0x1=06 "
              "0x3019/0x4=526561736f6e00");
    EXPECT_THAT(Control("query request 2"), HasSubstr(" function=gc_ReqService "));
    EXPECT_EQ(Control("query request 3"), "ERR no request 3");
    EXPECT_EQ(Control("query request none"), "ERR bad request id");
    EXPECT_EQ(Control("query request 0"), "ERR bad request id");
}

TEST_F(IpServicesTest, RequestsNeedGlobalCallAnOpenLineAndABlock) {
    GC_PARM_BLKP block = nullptr;
    ASSERT_EQ(InsertValue(&block, 0x300E, 1, 1, 6), 0);
    int32_t request = -5;
    uint32_t service = 5;
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_SetConfigData, 9, 1, block, 0, 0, &request, GC_ASYNC),
              -1);
    EXPECT_EQ(LastGlobalCallError(), 102);
    EXPECT_EQ(request, -5);

    const LINEDEV board = OpenBoard();
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_ReqService, 9, board + 100, &service, block, nullptr,
                         GC_ASYNC),
              -1);
    EXPECT_EQ(LastGlobalCallError(), 103);
    EXPECT_EQ(
        VendorCall(&gc_, &CLibGc::gc_ReqService, 9, board, &service, nullptr, nullptr, GC_ASYNC),
        -1);
    EXPECT_EQ(LastGlobalCallError(), 101);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_ReqService, 9, board, nullptr, block, nullptr, GC_ASYNC),
              -1);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_SetConfigData, 9, board, block, 0, 0, nullptr, GC_ASYNC),
              -1);
    EXPECT_EQ(service, 5u);
    // A closed board takes no more requests.
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Close, board), 0);
    EXPECT_EQ(
        VendorCall(&gc_, &CLibGc::gc_SetConfigData, 9, board, block, 0, 0, &request, GC_ASYNC), -1);
    EXPECT_EQ(LastGlobalCallError(), 103);
    Delete(block);
    EXPECT_EQ(Control("query request 1"), "ERR no request 1");
}

TEST_F(IpServicesTest, AuthenticationIsReadThroughTheRecordsPointers) {
    const LINEDEV board = OpenBoard();
    char realm[] = "registrar";
    char identity[] = "";
    char user[] = "alice";
    char password[] = "secret";
    IP_AUTHENTICATION record{
        IP_AUTHENTICATION_VERSION, sizeof(IP_AUTHENTICATION), realm, identity, user, password};
    GC_PARM_BLKP block = nullptr;
    ASSERT_EQ(InsertReference(&block, 0x3019, 5, sizeof record, &record), 0);
    EXPECT_EQ(Control("query auth :P_IP:N_iptB1"), "ERR no authentication on :P_IP:N_iptB1");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_SetAuthenticationInfo, 9, board, block), 0);
    Delete(block);
    EXPECT_EQ(Control("query auth :P_IP:N_iptB1"),
              "OK realm=registrar identity= user=alice password=secret");
    EXPECT_EQ(Control("query auth nothing"), "ERR no open device nothing");

    // A record of another size or version is refused, and so is a block without one.
    for (const IP_AUTHENTICATION& bad :
         {IP_AUTHENTICATION{IP_AUTHENTICATION_VERSION, 20, realm, identity, user, password},
          IP_AUTHENTICATION{0x200, sizeof(IP_AUTHENTICATION), realm, identity, user, password}}) {
        IP_AUTHENTICATION copy = bad;
        block = nullptr;
        ASSERT_EQ(InsertReference(&block, 0x3019, 5, sizeof copy, &copy), 0);
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_SetAuthenticationInfo, 9, board, block), -1);
        EXPECT_EQ(LastGlobalCallError(), 101);
        Delete(block);
    }
    block = nullptr;
    ASSERT_EQ(InsertReference(&block, 0x3019, 5, 20, &record), 0);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_SetAuthenticationInfo, 9, board, block), -1);
    Delete(block);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_SetAuthenticationInfo, 9, board, nullptr), -1);
}

TEST_F(IpServicesTest, AForcedResultMayBeginAfterSomeGoodCalls) {
    GC_PARM_BLKP block = nullptr;
    ASSERT_EQ(Control("fail gc_util_insert_parm_val -1 2 1"), "OK");
    EXPECT_EQ(InsertValue(&block, 1, 1, 1, 1), 0);
    EXPECT_EQ(InsertValue(&block, 1, 2, 1, 1), -1);
    EXPECT_EQ(InsertValue(&block, 1, 3, 1, 1), -1);
    EXPECT_EQ(InsertValue(&block, 1, 4, 1, 1), 0);
    Delete(block);
    EXPECT_EQ(Control("fail gc_util_insert_parm_val -1 1 -1"), "ERR bad result or count");
    EXPECT_EQ(Control("fail gc_util_insert_parm_val -1 1 1 1"),
              "ERR usage: fail <function> <result> [<times> [<after>]]");
}

}  // namespace
}  // namespace ruzd::boardsim
