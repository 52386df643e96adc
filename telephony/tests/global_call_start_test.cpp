// Global Call's start-up through the facade on the simulated boards: the settings of the IP
// virtual board from the "Orvanthella" section (written back when missing or wrong), the
// libraries it starts, what it logs, and how a failed start is told apart from a good one.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/registry.h"
#include "platform/ipv4_text.h"
#include "telephony/global_call_start_data.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::StartsWith;

class GlobalCallStartTest : public FacadeBoardsimTest {
protected:
    static std::string RegistryText(const char* name) {
        foundation::CRegistry registry("Orvanthella");
        std::string value;
        return registry.ReadString(name, value) ? value : "<missing>";
    }
    static int64_t RegistryNumber(const char* name) {
        foundation::CRegistry registry("Orvanthella");
        uint32_t value = 0;
        return registry.ReadDword(name, &value) ? value : -1;
    }
    static void SetNumber(const char* name, uint32_t value) {
        foundation::CRegistry("Orvanthella").WriteDword(name, value);
    }
    static void SetText(const char* name, const char* value) {
        foundation::CRegistry("Orvanthella").WriteString(name, value);
    }

    std::vector<std::string> StatusLines() {
        std::vector<std::string> lines;
        for (const std::string& text : NewTexts()) {
            if (text.rfind("Call Control Library Status: ", 0) == 0)
                lines.push_back(text);
        }
        return lines;
    }
};

TEST_F(GlobalCallStartTest, AnEmptySectionGetsItsDefaultsWrittenBack) {
    TestFacade hardware;
    ForgetLines();
    std::string address = "unchanged";
    ASSERT_EQ(hardware.InitGlobalCall(120, &address), 1);
    EXPECT_TRUE(hardware.IsGlobalCallInitialised());
    EXPECT_EQ(address, "unchanged") << "no address was set";

    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, IsSupersetOf({"Registry: Setting HMP1_IPAddress = 255.255.255.255",
                                     "Registry: Setting HMP1_Port = 65535",
                                     "Registry: Setting HMP1_TcpEnabled = 0",
                                     "Registry: Setting HMP1_SessionTimersEnabled = 0",
                                     "InitGlobalCall: Number of IPT boards=1",
                                     "Call Control Library Status: GC_ICAPI_LIB - available",
                                     "Call Control Library Status: GC_SS7_LIB - configured",
                                     "Call Control Library Status: GC_H3R_LIB - available"}));
    EXPECT_EQ(texts.back(), "GLOBALCALL Initialised!");
    EXPECT_EQ(RegistryText("HMP1_IPAddress"), "255.255.255.255");
    EXPECT_EQ(RegistryNumber("HMP1_Port"), 65535);
    EXPECT_EQ(RegistryNumber("HMP1_TcpEnabled"), 0);
    EXPECT_EQ(RegistryNumber("HMP1_SessionTimersEnabled"), 0);
    // The IP board was started with the node's settings.
    EXPECT_THAT(Control("query globalcall"),
                HasSubstr(" max_calls=120 address=255.255.255.255 sip_port=65535 tcp=0 "
                          "session_timers=0"));

    // A second start finds it started and reads nothing.
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(120, &address), 1);
    EXPECT_THAT(NewTexts(), ElementsAre("GLOBALCALL already initialised"));
}

TEST_F(GlobalCallStartTest, StoredSettingsReachTheIpBoardAndTheAddressText) {
    SetText("HMP1_IPAddress", "10.0.0.5");
    SetNumber("HMP1_Port", 5070);
    SetNumber("HMP1_TcpEnabled", 1);
    SetNumber("HMP1_SessionTimersEnabled", 1);
    TestFacade hardware;
    ForgetLines();
    std::string address;
    ASSERT_EQ(hardware.InitGlobalCall(30, &address), 1);
    EXPECT_EQ(address, "10.0.0.5:5070");
    EXPECT_THAT(NewTexts(), IsSupersetOf({"Registry: Using HMP1_IPAddress = 10.0.0.5",
                                          "Registry: Using HMP1_Port = 5070",
                                          "Registry: Using HMP1_TcpEnabled = 1",
                                          "Registry: Using HMP1_SessionTimersEnabled = 1"}));
    EXPECT_THAT(Control("query globalcall"),
                HasSubstr(" max_calls=30 address=10.0.0.5 sip_port=5070 tcp=1 session_timers=1"));
}

TEST_F(GlobalCallStartTest, TheSipPortIsAppendedUnlessItIsTheStandardOrTheDefault) {
    for (uint32_t port : {5060u, 65535u, 5070u}) {
        SCOPED_TRACE(port);
        SetNumber("HMP1_Port", port);
        TestFacade hardware;
        std::string address = "host";
        ASSERT_EQ(hardware.InitGlobalCall(1, &address), 1);
        EXPECT_EQ(address, port == 5070 ? "host:5070" : "host")
            << "appended also when no address was read";
        ASSERT_EQ(hardware.gc_Stop(), 0);
    }
}

TEST_F(GlobalCallStartTest, InvalidSwitchesAreReplacedByTheirDefault) {
    SetNumber("HMP1_TcpEnabled", 2);
    SetNumber("HMP1_Port", 70000);
    TestFacade hardware;
    ForgetLines();
    ASSERT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, IsSupersetOf({"Registry: Value HMP1_Port = 70000 is not valid",
                                     "Registry: Setting HMP1_Port = 65535",
                                     "Registry: Value HMP1_TcpEnabled = 2 is not valid",
                                     "Registry: Setting HMP1_TcpEnabled = 0"}));
    EXPECT_EQ(RegistryNumber("HMP1_TcpEnabled"), 0);
    EXPECT_EQ(RegistryNumber("HMP1_Port"), 65535);
}

TEST_F(GlobalCallStartTest, WithoutIpBoardsTheIpLibraryIsNotStarted) {
    WriteConfig("ip 0 0\n");
    TestFacade hardware;
    ForgetLines();
    ASSERT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    EXPECT_THAT(NewTexts(), Contains("InitGlobalCall: Number of IPT boards=0"));
    const std::string status = Control("query globalcall");
    EXPECT_THAT(status, HasSubstr("GC_H3R_LIB=2"));
    EXPECT_THAT(status, HasSubstr("GC_ISDN_LIB=1"));
    EXPECT_THAT(status, HasSubstr("GC_PDKRT_LIB=1"));
    EXPECT_THAT(status, Not(HasSubstr("max_calls=")));
}

TEST_F(GlobalCallStartTest, AFailingLibraryFailsTheStartAndItIsTriedAgainInFull) {
    TestFacade hardware;
    ASSERT_THAT(Control("cclib GC_ISDN_LIB fail"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(1, nullptr), 0);
    EXPECT_FALSE(hardware.IsGlobalCallInitialised());
    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, Contains(StartsWith("Error in gc_Start ErrorValue: 107 - ")));
    EXPECT_THAT(texts,
                Contains("Call Control Library Status: GC_ISDN_LIB - is not available for use"))
        << "the libraries are reported after a failed start too";
    EXPECT_THAT(texts, Not(Contains("GLOBALCALL Initialised!")));

    ASSERT_THAT(Control("cclib GC_ISDN_LIB ok"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    EXPECT_THAT(NewTexts(), Contains("Registry: Using HMP1_Port = 65535"));
}

TEST_F(GlobalCallStartTest, GlobalCallStartedBeforehandCountsAsStarted) {
    TestFacade hardware;
    ASSERT_EQ(hardware.gc_Start(nullptr), 0);
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, Not(Contains(StartsWith("Error in gc_Start"))));
    EXPECT_EQ(texts.back(), "GLOBALCALL Initialised!");
}

TEST_F(GlobalCallStartTest, AFailedStatusQueryIsLoggedWithoutAnUnfilledReport) {
    TestFacade hardware;
    ASSERT_EQ(Control("fail gc_CCLibStatusEx -1"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(1, nullptr), 1) << "the start itself went well";
    EXPECT_EQ(Lines().back().text, "GLOBALCALL Initialised!");
    const std::vector<std::string> texts = NewTexts();
    EXPECT_THAT(texts, Contains("gc_CCLibStatusEx(GC_ALL_LIB, &cclib_status_all) Failed"));
    for (const std::string& text : texts)
        EXPECT_THAT(text, Not(StartsWith("Call Control Library Status: "))) << text;

    // Once the query answers, all ten libraries are reported.
    ASSERT_EQ(hardware.gc_Stop(), 0);
    ASSERT_EQ(Control("restore gc_CCLibStatusEx"), "OK");
    ForgetLines();
    ASSERT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    EXPECT_THAT(StatusLines(), ::testing::SizeIs(10));
}

TEST_F(GlobalCallStartTest, AFailedBoardCountMeansNoIpBoards) {
    TestFacade hardware;
    ASSERT_EQ(Control("fail sr_getboardcnt -1"), "OK");
    ForgetLines();
    EXPECT_EQ(hardware.InitGlobalCall(1, nullptr), 1);
    EXPECT_THAT(NewTexts(), Contains("InitGlobalCall Could not get board count for IP."));
    EXPECT_THAT(Control("query globalcall"), HasSubstr("GC_H3R_LIB=2"));
}

TEST_F(GlobalCallStartTest, AnAddressTextThatIsNoAddressLeavesTheBoardOnItsDefault) {
    SetText("HMP1_IPAddress", "not an address");
    TestFacade hardware;
    ForgetLines();
    std::string address = "kept";
    ASSERT_EQ(hardware.InitGlobalCall(2, &address), 1);
    EXPECT_EQ(address, "kept");
    EXPECT_THAT(NewTexts(), Contains("Registry: Using HMP1_IPAddress = not an address"));
    EXPECT_THAT(Control("query globalcall"), HasSubstr(" address=255.255.255.255 "));
    EXPECT_EQ(RegistryText("HMP1_IPAddress"), "not an address");
}

// Without a usable Global Call library the node cannot work with Global Call at all.
class GlobalCallWithoutLibraryTest : public FacadeTest {};

TEST_F(GlobalCallWithoutLibraryTest, StartingIsAFatalError) {
    Install("stub_libgc_no_start", "libgc");
    Install("recording_libsrlmt", "libsrlmt");
    Install("recording_libipm", "libipm");
    Install("recording_libdxxmt", "libdxxmt");
    Install("recording_libdtimt", "libdtimt");
    Install("recording_libecmt", "libecmt");
    Install("recording_xdslibsc", "XDSlibsc");
    Install("recording_ncmapi", "NCMAPI");
    TestFacade hardware;
    ASSERT_TRUE(hardware.IsIntelAvailable());
    ForgetLines();
    ForgetBoxes();
    TakeCalls();
    std::string address = "kept";
    EXPECT_EQ(hardware.InitGlobalCall(2, &address), 0);
    EXPECT_FALSE(hardware.IsGlobalCallInitialised());
    EXPECT_THAT(NewTexts(), ElementsAre("GLOBALCALL can not be initialised. NOT POSSIBLE with "
                                        "this version of dialogic"));
    EXPECT_THAT(BoxTexts(), ElementsAre("Error 31"));
    EXPECT_EQ(CloseRequests(), 1);
    EXPECT_THAT(TakeCalls(), ::testing::IsEmpty()) << "not even the board count was asked";
    EXPECT_EQ(address, "kept");
}

uint32_t Read32(const IP_VIRTBOARD& board, size_t at) {
    return board.bytes[at] | board.bytes[at + 1] << 8 | board.bytes[at + 2] << 16 |
           static_cast<uint32_t>(board.bytes[at + 3]) << 24;
}

uint16_t Read16(const IP_VIRTBOARD& board, size_t at) {
    return static_cast<uint16_t>(board.bytes[at] | board.bytes[at + 1] << 8);
}

TEST(GlobalCallStartDataTest, TheIpBoardIsTheInitialisersWithTheNodesSettings) {
    IpBoardSettings settings;
    settings.max_calls = 64;
    settings.address = platform::ParseIpv4("192.0.2.7");
    settings.sip_port = 5070;
    settings.tcp_enabled = 1;
    settings.session_timers_enabled = 1;
    GlobalCallStartData data(settings, true);
    const IP_VIRTBOARD& board = data.board();
    EXPECT_EQ(Read16(board, 0), 0x10F);
    EXPECT_EQ(Read32(board, 2), 64u);
    EXPECT_EQ(Read32(board, 6), 64u);
    EXPECT_EQ(Read32(board, 10), 64u);
    EXPECT_EQ(board.bytes[14], 0) << "IPv4";
    EXPECT_EQ(board.bytes[15], 192);
    EXPECT_EQ(board.bytes[18], 7);
    for (size_t at = 19; at < 31; ++at)
        EXPECT_EQ(board.bytes[at], 0) << at;
    EXPECT_EQ(Read16(board, 33), 5070);
    EXPECT_EQ(Read16(board, 39), 203);
    EXPECT_EQ(Read32(board, 41), 3u);
    EXPECT_EQ(Read32(board, 45), 0u);
    EXPECT_EQ(Read16(board, 53), 0x100);
    EXPECT_EQ(Read32(board, 55), 0xFFFFFFFFu);
    EXPECT_EQ(Read16(board, 63), 60);
    EXPECT_EQ(Read32(board, 88), 1u);
    EXPECT_EQ(Read32(board, 96), 1u);
    EXPECT_EQ(Read32(board, 106), 4u);
    EXPECT_EQ(Read32(board, 110), 1u);
    EXPECT_EQ(Read32(board, 114), 1000u);
    EXPECT_EQ(Read32(board, 126), 1u);
    EXPECT_EQ(Read32(board, 130), 1800u);
    EXPECT_EQ(Read32(board, 134), 90u);
    EXPECT_EQ(board.bytes[160], 0xFF) << "left as the initialiser's fill";
    EXPECT_EQ(Read32(board, 183), 1u);
    EXPECT_EQ(Read32(board, 199), 0u);

    GC_START_STRUCT* start = data.start();
    ASSERT_EQ(start->num_cclibs, 7);
    std::vector<std::string> names;
    for (int32_t i = 0; i < start->num_cclibs; ++i)
        names.push_back(start->cclib_list[i].cclib_name);
    EXPECT_THAT(names, ElementsAre("GC_PDKRT_LIB", "GC_IPM_LIB", "GC_H3R_LIB", "GC_DM3CC_LIB",
                                   "GC_ISDN_LIB", "GC_ICAPI_LIB", "GC_ANAPI_LIB"));
    const auto* ip = static_cast<const IPCCLIB_START_DATA*>(start->cclib_list[2].cclib_data);
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->version, 0x201);
    EXPECT_EQ(ip->delimiter, ',');
    EXPECT_EQ(ip->num_boards, 1);
    EXPECT_EQ(ip->board_list, &board);
    for (int32_t i : {0, 1, 3, 4, 5, 6})
        EXPECT_EQ(start->cclib_list[i].cclib_data, nullptr);

    GlobalCallStartData without_ip(settings, false);
    EXPECT_EQ(without_ip.start()->num_cclibs, 6);
}

}  // namespace
}  // namespace ruzd::telephony
