// Global Call beside calls: an IP line device's media device, call acknowledgement and vendor
// extensions, as the library's own caller meets them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "boardsim/tests/call_fixture.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibGc;
using telephony::VendorCall;
using ::testing::ElementsAre;
using ::testing::EndsWith;

class GlobalCallLineTest : public CallTest {
protected:
    void SetUp() override { ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Start, nullptr), 0); }

    LINEDEV Open(const char* name) {
        LINEDEV line = 0;
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_OpenEx, &line, name, int32_t{GC_ASYNC}, nullptr), 0);
        EXPECT_EQ(NextGlobalCallEvent().type, CCEV_OPENEX);
        return line;
    }
};

TEST_F(GlobalCallLineTest, AnIpLineDeviceOpensItsMediaDeviceBesideIt) {
    const LINEDEV line = Open(":N_iptB1T2:P_IP:M_ipmB1C2");
    int32_t media = -1;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetResourceH, line, &media, GC_MEDIADEVICE), 0);
    EXPECT_NE(media, line);
    EXPECT_EQ(Control("query device ipmB1C2"),
              "OK handle=" + std::to_string(media) + " name=:M_ipmB1C2 subdevices=0 open=1");
    EXPECT_THAT(Control("query line #" + std::to_string(line)),
                EndsWith(" media=" + std::to_string(media)));

    const LINEDEV network = Open(":N_dtiB1T1:P_isdn");
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_GetResourceH, network, &media, GC_MEDIADEVICE), -1);
    EXPECT_EQ(LastGlobalCallError(), 103);

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Close, line), 0);
    EXPECT_EQ(Control("query device ipmB1C2"), "ERR no open device ipmB1C2");
}

TEST_F(GlobalCallLineTest, AnOfferedCallIsAcknowledgedOnce) {
    const LINEDEV line = Open(":N_iptB1T1:P_IP:M_ipmB1C1");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_WaitCall, line, nullptr, nullptr, -1, GC_ASYNC), 0);
    const CRN crn = CrnOf(Control("call iptB1T1 1 2"));
    ASSERT_EQ(NextGlobalCallEvent().type, CCEV_OFFERED);
    GC_CALLACK_BLK block{};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_CallAck, crn, &block, GC_ASYNC), 0);
    const Seen acknowledged = NextGlobalCallEvent();
    EXPECT_EQ(acknowledged.type, CCEV_CALL_ACK);
    EXPECT_EQ(acknowledged.crn, crn);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_AnswerCall, crn, 0, GC_SYNC), 0);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_CallAck, crn, &block, GC_ASYNC), -1);
    EXPECT_EQ(LastGlobalCallError(), 105);
}

TEST_F(GlobalCallLineTest, AnExtensionCompletesWithItsIdAndParameters) {
    const LINEDEV line = Open(":N_iptB1T3:P_IP:M_ipmB1C3");
    const uint8_t bytes[] = {0x02, 0x00, 0xAB, 0xCD};
    std::vector<uint8_t> parameters(bytes, bytes + sizeof bytes);
    auto* block = reinterpret_cast<GC_PARM_BLKP>(parameters.data());
    GC_PARM_BLKP result = nullptr;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Extension, GC_TARGET_LINEDEV, line, uint8_t{7}, block,
                         &result, GC_ASYNC),
              0);
    EXPECT_EQ(result, nullptr);
    // The caller's block may go at once: the event carries a copy.
    parameters.assign(parameters.size(), 0);
    METAEVENT meta{};
    ASSERT_EQ(NextGlobalCallEvent(&meta).type, CCEV_EXTENSION);
    const auto* extension = static_cast<const uint8_t*>(meta.extevtdatap);
    ASSERT_NE(extension, nullptr);
    EXPECT_THAT(std::vector<uint8_t>(extension, extension + 5), ElementsAre(7, 2, 0, 0xAB, 0xCD));

    // Synchronously the parameters come back as a block of the caller's to free.
    parameters.assign(bytes, bytes + sizeof bytes);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Extension, GC_TARGET_LINEDEV, line, uint8_t{7}, block,
                         &result, GC_SYNC),
              0);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::memcmp(result, bytes, sizeof bytes), 0);
    VendorCall(&gc_, &CLibGc::gc_util_delete_parm_blk, result);
    ExpectNoMoreEvents();
}

}  // namespace
}  // namespace ruzd::boardsim
