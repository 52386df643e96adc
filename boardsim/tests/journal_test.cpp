// The journal line of every call, and the results the control socket and the configuration
// choose.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "telephony/lib_dxxmt.h"
#include "telephony/lib_gc.h"
#include "telephony/lib_srlmt.h"
#include "telephony/lib_xds.h"
#include "telephony/vendor_call.h"
#include "testing/simulated_boards.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDXXMT;
using telephony::CLibGc;
using telephony::CLibSRLMT;
using telephony::CLibXDS;
using telephony::VendorCall;
using ::testing::ElementsAre;

class JournalTest : public testing::BoardsimTest {};

TEST_F(JournalTest, EveryCallIsOneLineWithItsArgumentsAndResult) {
    CLibDXXMT voice;
    CLibSRLMT srl;
    const int32_t channel = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    DX_CAP cap{};
    VendorCall(&voice, &CLibDXXMT::dx_dial, channel, ",9\"1\x01", &cap, uint16_t{0x8001});
    VendorCall(&voice, &CLibDXXMT::dx_clrcap, nullptr);
    VendorCall(&srl, &CLibSRLMT::ATDV_NAMEP, channel);
    VendorCall(&srl, &CLibSRLMT::sr_getevtdatap_0, 0);
    VendorCall(&voice, &CLibDXXMT::dx_playtone, channel, nullptr, nullptr, uint16_t{0});

    const std::vector<std::string> lines = Journal();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "libdxxmt dx_open(\"dxxxB1C1\", 0) = 1");
    EXPECT_THAT(lines[1], ::testing::MatchesRegex(
                              R"(libdxxmt dx_dial\(1, ",9\\"1\\x01", 0x[0-9a-f]+, 32769\) = 0)"));
    EXPECT_EQ(lines[2], "libdxxmt dx_clrcap(NULL) = void");
    EXPECT_EQ(lines[3], "libsrlmt ATDV_NAMEP(1) = \"dxxxB1C1\"");
    EXPECT_EQ(lines[4], "libsrlmt sr_getevtdatap(0) = NULL") << "one export, the current event";
    EXPECT_EQ(lines[5], "libdxxmt dx_playtone(1, NULL, NULL, 0) = -1") << "no tone to play";

    std::ifstream in(JournalPath());
    std::string first;
    std::getline(in, first);
    EXPECT_THAT(first, ::testing::StartsWith("1 libdxxmt ")) << "numbered from 1";
}

TEST_F(JournalTest, AForcedResultWinsForAsManyCallsAsAsked) {
    CLibDXXMT voice;
    ASSERT_EQ(Control("fail dx_open -1 2"), "OK");
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0), -1);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0), -1);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0), 1) << "really opened";
    EXPECT_EQ(Control("query devices"), "OK dxxxB1C1=1") << "the forced calls opened nothing";

    ASSERT_EQ(Control("fail dx_stopch 5"), "OK");
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_stopch, 1, uint16_t{0}), 5);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_stopch, 1, uint16_t{0}), 5);
    ASSERT_EQ(Control("restore dx_stopch"), "OK");
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_stopch, 1, uint16_t{0}), 0);
    EXPECT_EQ(Control("query calls dx_stopch"), "OK 3");
    EXPECT_EQ(Control("query calls dx_open"), "OK 3");
    EXPECT_EQ(Journal().back(), "libdxxmt dx_stopch(1, 0) = 0");
}

TEST_F(JournalTest, TheConfigurationSetsTheResultsOfPlainFunctions) {
    WriteConfig("result dx_setparm -1\nresult ATDX_STATE 3\n");
    CLibDXXMT voice;
    CLibGc gc;
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::dx_setparm, 1, 2u, nullptr), -1);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::ATDX_STATE, 1), 3);
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::ATDX_TERMMSK, 1), 0);
    GC_PARM value{};
    value.intvalue = 7;
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_SetParm, 3, 4, value), 0);
    EXPECT_EQ(Journal().back(), "libgc gc_SetParm(3, 4, {...}) = 0");
}

TEST_F(JournalTest, AVoiceChannelReportsItselfIdleByDefault) {
    CLibDXXMT voice;
    EXPECT_EQ(VendorCall(&voice, &CLibDXXMT::ATDX_STATE, 1), CS_IDLE);
}

TEST_F(JournalTest, BadControlCommandsAreRefused) {
    CLibXDS xds("XDSlibsc.dll");
    EXPECT_EQ(Control("dance"), "ERR unknown command dance");
    EXPECT_EQ(Control(""), "ERR empty command");
    EXPECT_EQ(Control("fail dx_open x"), "ERR bad result or count");
    EXPECT_EQ(Control("boardmsg 300 1 1 x"), "ERR board, group and type are numbers 0 to 255");
    EXPECT_EQ(Control("query nothing"), "ERR unknown query");
    EXPECT_EQ(Control("service asleep"), "ERR usage: service stopped|pending|running");
}

}  // namespace
}  // namespace ruzd::boardsim
