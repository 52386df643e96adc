// Global Call: its start with the call-control libraries, their status, its errors and
// parameter blocks, and calls through its meta events.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "boardsim/tests/call_fixture.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibGc;
using telephony::VendorCall;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The libraries the node starts, with the IP library when it has IP boards.
class LibraryList {
public:
    explicit LibraryList(bool with_ip, void* ip_data = nullptr) {
        for (const char* name : {"GC_PDKRT_LIB", "GC_IPM_LIB", "GC_H3R_LIB", "GC_DM3CC_LIB",
                                 "GC_ISDN_LIB", "GC_ICAPI_LIB", "GC_ANAPI_LIB"}) {
            if (std::strcmp(name, "GC_H3R_LIB") == 0 && !with_ip)
                continue;
            entries_.push_back({name, std::strcmp(name, "GC_H3R_LIB") == 0 ? ip_data : nullptr});
        }
        start_.num_cclibs = static_cast<int32_t>(entries_.size());
        start_.cclib_list = entries_.data();
    }
    GC_START_STRUCT* start() { return &start_; }
    std::vector<CCLIB_START_STRUCT>& entries() { return entries_; }

private:
    std::vector<CCLIB_START_STRUCT> entries_;
    GC_START_STRUCT start_{};
};

class GlobalCallTest : public CallTest {
protected:
    int32_t Start(GC_START_STRUCT* start) { return VendorCall(&gc_, &CLibGc::gc_Start, start); }
    std::vector<int32_t> LastError() {
        int32_t gc_error = -7;
        int32_t cclib = -7;
        int32_t cc_error = -7;
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_ErrorValue, &gc_error, &cclib, &cc_error), 0);
        return {gc_error, cclib, cc_error};
    }
    std::vector<std::pair<std::string, int32_t>> Status() {
        GC_CCLIB_STATUSALL all{};
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_CCLibStatusEx, "GC_ALL_LIB", &all), 0);
        std::vector<std::pair<std::string, int32_t>> status;
        for (const GC_CCLIB_STATUS& library : all.cclib_state)
            status.emplace_back(library.name, library.state);
        return status;
    }
    int32_t StatusOf(const char* library) {
        for (const auto& [name, state] : Status()) {
            if (name == library)
                return state;
        }
        return -1;
    }
    LINEDEV OpenEx(const char* name, void* attribute = nullptr) {
        LINEDEV line = 0;
        EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_OpenEx, &line, name, int32_t{GC_ASYNC}, attribute),
                  0);
        EXPECT_EQ(NextGlobalCallEvent().type, CCEV_OPENEX);
        return line;
    }
    int32_t State(CRN crn) {
        int32_t state = -1;
        const int32_t result = VendorCall(&gc_, &CLibGc::gc_GetCallState, crn, &state);
        return result == 0 ? state : -1000 + result;
    }
};

TEST_F(GlobalCallTest, NothingButTheStartWorksBeforeTheStart) {
    LINEDEV line = 0;
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_Open, &line, ":N_dtiB1T1:P_isdn", 0), -1);
    EXPECT_EQ(LastError(), (std::vector<int32_t>{102, GC_NO_CCLIB, 0}));
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_WaitCall, 1, nullptr, nullptr, -1, GC_ASYNC), -1);
    METAEVENT meta{};
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_GetMetaEvent, &meta), -1);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_Stop), -1);
    EXPECT_EQ(StatusOf("GC_ISDN_LIB"), GC_CCLIB_CONFIGURED);
    EXPECT_THAT(Control("query globalcall"), StartsWith("OK started=0 "));
}

TEST_F(GlobalCallTest, TheStartMakesItsLibrariesAvailable) {
    LibraryList libraries(false);
    ASSERT_EQ(Start(libraries.start()), 0);
    EXPECT_THAT(Status(), ElementsAre(std::pair<std::string, int32_t>("GC_ICAPI_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_ISDN_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_ANAPI_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_PDKRT_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_SS7_LIB", 2),
                                      std::pair<std::string, int32_t>("GC_DM3CC_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_IPM_LIB", 1),
                                      std::pair<std::string, int32_t>("GC_H3R_LIB", 2),
                                      std::pair<std::string, int32_t>("GC_CUSTOM1_LIB", 2),
                                      std::pair<std::string, int32_t>("GC_CUSTOM2_LIB", 2)));
    int32_t state = 0;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_CCLibStatusEx, "GC_IPM_LIB", &state), 0);
    EXPECT_EQ(state, GC_CCLIB_AVAILABLE);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_CCLibStatusEx, "GC_NO_LIB", &state), -1);

    EXPECT_EQ(Start(libraries.start()), -1);
    EXPECT_EQ(LastError()[0], EGC_ALREADY_STARTED);
    char* text = nullptr;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ResultMsg, 0u, EGC_ALREADY_STARTED, &text), 0);
    EXPECT_STREQ(text, "Global Call already started");

    LINEDEV line = 0;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Open, &line, ":N_dtiB1T1:P_isdn", 0), 0);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Stop), 0);
    EXPECT_EQ(Control("query device #" + std::to_string(line)),
              "OK handle=" + std::to_string(line) + " name=:N_dtiB1T1:P_isdn subdevices=0 open=0")
        << "stopping closes Global Call's line devices";
    EXPECT_EQ(StatusOf("GC_ISDN_LIB"), GC_CCLIB_CONFIGURED);
    EXPECT_EQ(Start(libraries.start()), 0) << "it starts again after a stop";
}

TEST_F(GlobalCallTest, TheIpLibraryIsStartedWithTheVirtualBoard) {
    IP_VIRTBOARD board{};
    std::memset(board.bytes, 0xFF, sizeof board.bytes);
    const uint32_t max_calls = 120;
    std::memcpy(board.bytes + IP_VIRTBOARD_TOTAL_MAX_CALLS, &max_calls, 4);
    board.bytes[IP_VIRTBOARD_LOCALIP] = 0;
    // 10.0.0.5 in network byte order.
    const uint8_t address[4] = {10, 0, 0, 5};
    std::memcpy(board.bytes + IP_VIRTBOARD_LOCALIP + 1, address, 4);
    const uint16_t port = 5070;
    std::memcpy(board.bytes + IP_VIRTBOARD_SIP_PORT, &port, 2);
    const uint32_t tcp = 1;
    const uint32_t timers = 0;
    std::memcpy(board.bytes + IP_VIRTBOARD_SIP_TCP_ENABLED, &tcp, 4);
    std::memcpy(board.bytes + IP_VIRTBOARD_SESSION_TIMERS, &timers, 4);
    IPCCLIB_START_DATA data{IPCCLIB_START_DATA_VERSION, ',', 1, &board, 0xFFFFFFFF, 0};
    LibraryList libraries(true, &data);
    ASSERT_EQ(Start(libraries.start()), 0);
    EXPECT_EQ(StatusOf("GC_H3R_LIB"), GC_CCLIB_AVAILABLE);
    EXPECT_THAT(Control("query globalcall"),
                HasSubstr(" max_calls=120 address=10.0.0.5 sip_port=5070 tcp=1 session_timers=0"));
}

TEST_F(GlobalCallTest, AFailingLibraryFailsTheStart) {
    ASSERT_EQ(Control("cclib GC_ANAPI_LIB fail"), "OK");
    LibraryList libraries(false);
    EXPECT_EQ(Start(libraries.start()), -1);
    EXPECT_EQ(LastError(), (std::vector<int32_t>{107, 3, 0})) << "the library's id is its place";
    GC_INFO info{};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ErrorInfo, &info), 0);
    EXPECT_STREQ(info.gcMsg, "Call-control library failed to start");
    EXPECT_STREQ(info.ccLibName, "GC_ANAPI_LIB");
    EXPECT_EQ(StatusOf("GC_ANAPI_LIB"), GC_CCLIB_FAILED);
    EXPECT_EQ(StatusOf("GC_ISDN_LIB"), GC_CCLIB_CONFIGURED);
    EXPECT_THAT(Control("query globalcall"), StartsWith("OK started=0 "));

    ASSERT_EQ(Control("cclib GC_ANAPI_LIB ok"), "OK");
    EXPECT_EQ(Start(libraries.start()), 0);
    EXPECT_EQ(Control("cclib GC_NOTHING fail"), "ERR no library GC_NOTHING");

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_Stop), 0);
    libraries.entries()[0].cclib_name = "GC_UNKNOWN_LIB";
    EXPECT_EQ(Start(libraries.start()), -1);
    EXPECT_EQ(LastError()[1], GC_NO_CCLIB);
}

TEST_F(GlobalCallTest, AWholeIncomingCallThroughMetaEvents) {
    ASSERT_EQ(Start(nullptr), 0) << "no list starts every library";
    int attribute = 0;
    const LINEDEV line = OpenEx(":N_dtiB1T3:P_isdn", &attribute);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_WaitCall, line, nullptr, nullptr, -1, GC_ASYNC), 0);
    const CRN crn = CrnOf(Control("call dtiB1T3 800 900 ie=7E01 type=2"));

    METAEVENT meta{};
    const Seen offered = NextGlobalCallEvent(&meta);
    EXPECT_EQ(offered.device, line);
    EXPECT_EQ(offered.type, CCEV_OFFERED);
    EXPECT_EQ(offered.crn, crn);
    EXPECT_EQ(offered.result, 0);
    EXPECT_THAT(offered.ies, ElementsAre(0x7E, 0x01));
    EXPECT_EQ(meta.linedev, line);
    EXPECT_EQ(meta.usrattr, &attribute);
    EXPECT_EQ(meta.cclibid, 2) << "the ISDN library";
    EXPECT_EQ(State(crn), CCST_OFFERED);
    char number[129] = {};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetDNIS, crn, number), 0);
    EXPECT_STREQ(number, "800");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetCallInfo, crn, CALLINFO_ORIGINATION_ADDRESS, number),
              0);
    EXPECT_STREQ(number, "900");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetCallInfo, crn, CALLINFO_CALLINFOTYPE, number), 0);
    EXPECT_EQ(number[0], 2);
    IE_BLK received{};
    GC_IE_BLK pair{nullptr, &received};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetInfoElem, line, &pair), 0);
    EXPECT_EQ(received.length, 2);

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_AcceptCall, crn, 0, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_ACCEPT);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_AnswerCall, crn, 0, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_ANSWERED);
    EXPECT_EQ(State(crn), CCST_CONNECTED);

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_HoldCall, crn, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_HOLDACK);
    EXPECT_EQ(State(crn), CCST_HOLD);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_RetrieveCall, crn, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_RETRIEVEACK);

    ASSERT_EQ(Control("hangup dtiB1T3 31"), "OK crn=" + std::to_string(crn));
    const Seen disconnected = NextGlobalCallEvent(&meta);
    EXPECT_EQ(disconnected.type, CCEV_DISCONNECTED);
    EXPECT_EQ(disconnected.result, CAUSE_NORMAL_UNSPECIFIED);
    GC_INFO info{};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ResultInfo, &meta, &info), 0);
    EXPECT_EQ(info.ccValue, CAUSE_NORMAL_UNSPECIFIED);
    EXPECT_STREQ(info.ccMsg, "Normal, unspecified");
    EXPECT_STREQ(info.ccLibName, "GC_ISDN_LIB");

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_DropCall, crn, CAUSE_NORMAL_CLEARING, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_DROPCALL);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ReleaseCallEx, crn, GC_ASYNC), 0);
    const Seen released = NextGlobalCallEvent();
    EXPECT_EQ(released.type, CCEV_RELEASECALL);
    EXPECT_EQ(released.crn, crn);
    EXPECT_EQ(State(crn), -1001);
    ExpectNoMoreEvents();
}

struct GlobalCallOutcome {
    const char* dialout;
    std::vector<std::pair<int32_t, int32_t>> events;
    int32_t final_state;
};

class GlobalCallOutcomeTest : public GlobalCallTest,
                              public ::testing::WithParamInterface<GlobalCallOutcome> {};

TEST_P(GlobalCallOutcomeTest, AnOutgoingIpCallEndsAsTheFarEndChose) {
    ASSERT_EQ(Start(nullptr), 0);
    ASSERT_EQ(Control(std::string("dialout iptB1T1 ") + GetParam().dialout), "OK");
    const LINEDEV line = OpenEx(":N_iptB1T1:P_IP:M_ipmB1C1");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_SetCallingNum, line, "7001"), 0);
    CRN slot = 0;
    GC_MAKECALL_BLK blocks{nullptr, nullptr};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_MakeCall, line, &slot, "sip:100@192.0.2.1", &blocks, 30,
                         GC_ASYNC),
              0);
    std::vector<std::pair<int32_t, int32_t>> seen;
    METAEVENT meta{};
    for (size_t i = 0; i < GetParam().events.size(); ++i) {
        const Seen event = NextGlobalCallEvent(&meta);
        EXPECT_EQ(event.device, line);
        EXPECT_EQ(event.crn, slot);
        EXPECT_EQ(meta.cclibid, 8) << "the IP library";
        seen.emplace_back(event.type, event.result);
    }
    EXPECT_EQ(seen, GetParam().events);
    ExpectNoMoreEvents();
    EXPECT_EQ(State(slot), GetParam().final_state);
    EXPECT_EQ(CallField(slot, "ani"), "7001");
    EXPECT_EQ(CallField(slot, "dnis"), "sip:100@192.0.2.1");

    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_DropCall, slot, CAUSE_NORMAL_CLEARING, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_DROPCALL);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ReleaseCallEx, slot, GC_ASYNC), 0);
    EXPECT_EQ(NextGlobalCallEvent().type, CCEV_RELEASECALL);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, GlobalCallOutcomeTest,
    ::testing::Values(
        GlobalCallOutcome{"connect",
                          {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_CONNECTED, 0}},
                          CCST_CONNECTED},
        GlobalCallOutcome{"busy",
                          {{CCEV_PROCEEDING, 0}, {CCEV_DISCONNECTED, CAUSE_USER_BUSY}},
                          CCST_DISCONNECTED},
        GlobalCallOutcome{
            "noanswer",
            {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_DISCONNECTED, CAUSE_NO_ANSWER}},
            CCST_DISCONNECTED},
        GlobalCallOutcome{"fail", {{CCEV_TASKFAIL, CAUSE_TEMPORARY_FAILURE}}, CCST_DISCONNECTED}));

TEST_F(GlobalCallTest, AResetEndsTheCallsWithTheRestartEvent) {
    ASSERT_EQ(Start(nullptr), 0);
    const LINEDEV line = OpenEx(":N_dtiB1T4:P_isdn");
    CRN slot = 0;
    GC_MAKECALL_BLK blocks{nullptr, nullptr};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_MakeCall, line, &slot, "1", &blocks, 30, GC_ASYNC), 0);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ResetLineDev, line, GC_ASYNC), 0);
    // Whatever of the call's progress was raised before the reset comes first.
    Seen event;
    do {
        event = NextGlobalCallEvent();
    } while (event.type != -1 && event.type != 0x806);
    EXPECT_EQ(event.type, 0x806);
    EXPECT_EQ(event.device, line);
    EXPECT_EQ(event.crn, 0);
    ExpectNoMoreEvents();
    EXPECT_EQ(State(slot), -1001);
}

TEST_F(GlobalCallTest, RefusedCallsLeaveTheirErrorWithTheThread) {
    ASSERT_EQ(Start(nullptr), 0);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_AcceptCall, 4242, 0, GC_ASYNC), -1);
    EXPECT_EQ(LastError(), (std::vector<int32_t>{104, GC_NO_CCLIB, 0}));
    GC_INFO info{};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ErrorInfo, &info), 0);
    EXPECT_EQ(info.gcValue, 104);
    EXPECT_STREQ(info.gcMsg, "Invalid call reference");
    char* text = nullptr;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ResultMsg, 0u, 104, &text), 0);
    EXPECT_STREQ(text, "Invalid call reference");
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_ResultMsg, 2u, CAUSE_USER_BUSY, &text), 0);
    EXPECT_STREQ(text, "User busy") << "a call-control library's codes are causes";

    const LINEDEV line = OpenEx(":N_dtiB1T5:P_isdn");
    int32_t state = -1;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetLinedevState, line, GCGLS_BCHANNEL, &state), 0);
    EXPECT_EQ(state, ISDN_IN_SERVICE);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_GetLinedevState, line, GCGLS_DCHANNEL, &state), 0);
    EXPECT_EQ(state, 1);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_GetLinedevState, line, 9, &state), -1);
    EXPECT_EQ(LastError()[0], 101);
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_MakeCall, line, nullptr, "1", nullptr, 0, GC_SYNC), -1);
}

TEST_F(GlobalCallTest, ParameterBlocksGrowAndAreWalked) {
    GC_PARM_BLKP block = nullptr;
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_insert_parm_val, &block, uint16_t{0x300E},
                         uint16_t{1}, uint8_t{1}, 6u),
              0);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_insert_parm_val, &block, uint16_t{0x3017},
                         uint16_t{2}, uint8_t{2}, 0xB8u),
              0);
    char header[] = "Call-ID";
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_insert_parm_ref, &block, uint16_t{0x3019},
                         uint16_t{4}, uint8_t{sizeof header}, static_cast<void*>(header)),
              0);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->parm_data_size, (5 + 1) + (5 + 2) + (5 + 8));
    EXPECT_EQ(VendorCall(&gc_, &CLibGc::gc_util_insert_parm_val, &block, uint16_t{1}, uint16_t{1},
                         uint8_t{5}, 1u),
              -1)
        << "a value has at most 4 bytes";

    std::vector<std::string> walked;
    for (GC_PARM_DATAP parm = VendorCall(&gc_, &CLibGc::gc_util_next_parm, block, nullptr);
         parm != nullptr; parm = VendorCall(&gc_, &CLibGc::gc_util_next_parm, block, parm)) {
        walked.push_back(std::to_string(parm->set_ID) + "/" + std::to_string(parm->parm_ID) + "/" +
                         std::to_string(parm->value_size));
    }
    EXPECT_THAT(walked, ElementsAre("12302/1/1", "12311/2/2", "12313/4/8"));

    GC_PARM_DATA_EXT cursor{};
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_next_parm_ex, block, &cursor), 0);
    EXPECT_EQ(cursor.set_ID, 0x300Eu);
    EXPECT_EQ(*static_cast<uint8_t*>(cursor.pData), 6);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_next_parm_ex, block, &cursor), 0);
    uint16_t value = 0;
    std::memcpy(&value, cursor.pData, sizeof value);
    EXPECT_EQ(value, 0xB8);
    ASSERT_EQ(VendorCall(&gc_, &CLibGc::gc_util_next_parm_ex, block, &cursor), 0);
    EXPECT_STREQ(static_cast<const char*>(cursor.pData), "Call-ID");
    EXPECT_EQ(cursor.data_size, 8u);
    EXPECT_NE(VendorCall(&gc_, &CLibGc::gc_util_next_parm_ex, block, &cursor), 0)
        << "no more parameters";
    VendorCall(&gc_, &CLibGc::gc_util_delete_parm_blk, block);
}

// The configuration is read when the first table loads the core, so these tests load their
// tables themselves.
class CallConfigurationTest : public testing::BoardsimTest {};

TEST_F(CallConfigurationTest, TheConfigurationChoosesFailingLibrariesAndTheFarEnd) {
    WriteConfig(
        "cclib GC_ISDN_LIB fail\ndialout busy 21\ncall_delay 0\ndialout ringing\n"
        "cclib GC_ISDN_LIB\ncall_delay -1\n");
    telephony::CLibGc gc;
    telephony::CLibDTIMT isdn;
    telephony::CLibSRLMT srl;
    EXPECT_EQ(Control("query config"),
              "OK errors=3; line 4: cannot read \"dialout ringing\"; line 5: cannot read "
              "\"cclib GC_ISDN_LIB\"; line 6: cannot read \"call_delay -1\"");
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Start, nullptr), -1);
    ASSERT_EQ(Control("cclib GC_ISDN_LIB ok"), "OK");
    EXPECT_EQ(VendorCall(&gc, &CLibGc::gc_Start, nullptr), 0);

    LINEDEV line = 0;
    ASSERT_EQ(VendorCall(&isdn, &telephony::CLibDTIMT::cc_Open, &line, "dtiB1T1", 0), 0);
    CRN slot = 0;
    MAKECALL_BLK block{};
    ASSERT_EQ(VendorCall(&isdn, &telephony::CLibDTIMT::cc_MakeCall, line, &slot, "1", &block, 0,
                         uint32_t{EV_ASYNC}),
              0);
    ASSERT_EQ(Control("settle"), "OK");
    ASSERT_EQ(Control("query events"), "OK 2");
    EXPECT_EQ(VendorCall(&srl, &telephony::CLibSRLMT::sr_waitevt, 0), 0);
    EXPECT_EQ(VendorCall(&srl, &telephony::CLibSRLMT::sr_waitevt, 0), 0);
    void* data = VendorCall(&srl, &telephony::CLibSRLMT::sr_getevtdatap_0, 0);
    EXPECT_EQ(VendorCall(&srl, &telephony::CLibSRLMT::sr_getevttype_0, 0), CCEV_DISCONNECTED);
    EXPECT_EQ(VendorCall(&isdn, &telephony::CLibDTIMT::cc_ResultValue, data), CAUSE_CALL_REJECTED);
}

}  // namespace
}  // namespace ruzd::boardsim
