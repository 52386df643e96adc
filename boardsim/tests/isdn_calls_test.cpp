// Calls on the ISDN path: the cc_ functions through the node's table, the far end through
// the control socket.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "boardsim/tests/call_fixture.h"
#include "telephony/lib_dxxmt.h"

namespace ruzd::boardsim {
namespace {

using telephony::CLibDTIMT;
using telephony::CLibDXXMT;
using telephony::CLibSRLMT;
using telephony::VendorCall;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Pair;

constexpr uint32_t kAsync = EV_ASYNC;
constexpr uint32_t kSync = EV_SYNC;

class IsdnCallTest : public CallTest {
protected:
    LINEDEV Open(const char* name) {
        LINEDEV line = 0;
        EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_Open, &line, name, 0), 0) << name;
        return line;
    }
    int32_t Wait(LINEDEV line, CRN* slot) {
        return VendorCall(&isdn_, &CLibDTIMT::cc_WaitCall, line, slot, nullptr, -1, kAsync);
    }
    int32_t Make(LINEDEV line, CRN* slot, const char* number) {
        MAKECALL_BLK block{};
        return VendorCall(&isdn_, &CLibDTIMT::cc_MakeCall, line, slot, number, &block, 30, kAsync);
    }
    int32_t State(CRN crn) {
        int32_t state = -1;
        const int32_t result = VendorCall(&isdn_, &CLibDTIMT::cc_CallState, crn, &state);
        return result == 0 ? state : -1000 + result;
    }
    int32_t LastError(LINEDEV line) { return VendorCall(&srl_, &CLibSRLMT::ATDV_LASTERR, line); }
    std::string Text(CRN crn, int32_t info_id) {
        char buffer[129] = {};
        if (VendorCall(&isdn_, &CLibDTIMT::cc_GetCallInfo, crn, info_id, buffer) != 0)
            return "<failed>";
        return buffer;
    }
};

TEST_F(IsdnCallTest, AWholeIncomingCall) {
    const LINEDEV line = Open("dtiB1T1");
    CRN slot = 0;
    ASSERT_EQ(Wait(line, &slot), 0);
    EXPECT_THAT(Control("query line dtiB1T1"), ::testing::StartsWith("OK line=1 waiting=1 call=0"));

    const std::string answer = Control("call dtiB1T1 5551000 5552000 ie=0A0BFF name=Alice type=7");
    ASSERT_THAT(answer, ::testing::MatchesRegex("OK crn=[0-9]+"));
    const CRN crn = CrnOf(answer);
    EXPECT_GE(crn, 500) << "0 to 499 stand for the current call at the node";

    Seen offered = NextIsdnEvent();
    EXPECT_EQ(offered.device, line);
    EXPECT_EQ(offered.type, CCEV_OFFERED);
    EXPECT_EQ(offered.crn, crn);
    EXPECT_EQ(offered.result, 0);
    EXPECT_THAT(offered.ies, ElementsAre(0x0A, 0x0B, 0xFF));
    EXPECT_EQ(slot, crn) << "written before the event was raised";

    EXPECT_EQ(State(crn), CCST_OFFERED);
    char number[129] = {};
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetDNIS, crn, number), 0);
    EXPECT_STREQ(number, "5551000");
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetANI, crn, number), 0);
    EXPECT_STREQ(number, "5552000");
    EXPECT_EQ(Text(crn, CALLINFO_DESTINATION_ADDRESS), "5551000");
    EXPECT_EQ(Text(crn, CALLINFO_ORIGINATION_ADDRESS), "5552000");
    EXPECT_EQ(Text(crn, CALLINFO_CALLNAME), "Alice");
    char type = 0;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetCallInfo, crn, CALLINFO_CALLINFOTYPE, &type), 0);
    EXPECT_EQ(type, 7);
    EXPECT_EQ(Text(crn, 999), "<failed>");
    LINEDEV of_call = 0;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_CRN2LineDev, crn, &of_call), 0);
    EXPECT_EQ(of_call, line);
    IE_BLK received{};
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetInfoElem, line, &received), 0);
    EXPECT_EQ(received.length, 3);
    EXPECT_EQ(static_cast<uint8_t>(received.data[2]), 0xFF);

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_AcceptCall, crn, 2, kAsync), 0);
    EXPECT_EQ(State(crn), CCST_ACCEPTED);
    Seen accepted = NextIsdnEvent();
    EXPECT_EQ(accepted.type, CCEV_ACCEPT);
    EXPECT_EQ(accepted.crn, crn);

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_AnswerCall, crn, 0, kAsync), 0);
    EXPECT_EQ(State(crn), CCST_CONNECTED);
    EXPECT_EQ(NextIsdnEvent().type, CCEV_ANSWERED);

    ASSERT_EQ(Control("hangup dtiB1T1"), "OK crn=" + std::to_string(crn));
    Seen disconnected = NextIsdnEvent();
    EXPECT_EQ(disconnected.type, CCEV_DISCONNECTED);
    EXPECT_EQ(disconnected.crn, crn);
    EXPECT_EQ(disconnected.result, CAUSE_NORMAL_CLEARING);
    EXPECT_EQ(State(crn), CCST_DISCONNECTED);

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_DropCall, crn, CAUSE_NORMAL_CLEARING, kAsync), 0);
    EXPECT_EQ(State(crn), CCST_IDLE);
    Seen dropped = NextIsdnEvent();
    EXPECT_EQ(dropped.type, CCEV_DROPCALL);
    EXPECT_EQ(dropped.result, CAUSE_NORMAL_CLEARING);

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_ReleaseCallEx, crn, kAsync), 0);
    Seen released = NextIsdnEvent();
    EXPECT_EQ(released.type, CCEV_RELEASECALL);
    EXPECT_EQ(released.crn, crn);
    EXPECT_EQ(State(crn), -1001) << "the call is gone";
    ExpectNoMoreEvents();
    EXPECT_THAT(Control("query line dtiB1T1"), ::testing::StartsWith("OK line=1 waiting=1 call=0"))
        << "the line device goes on waiting";

    const std::string accept_line =
        "libdtimt cc_AcceptCall(" + std::to_string(crn) + ", 2, 32768) = 0";
    EXPECT_THAT(Journal(), Contains(accept_line));
}

struct OutcomeCase {
    const char* dialout;
    std::vector<std::pair<int32_t, int32_t>> events;  // type and result
    int32_t final_state;
};

class IsdnOutcomeTest : public IsdnCallTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(IsdnOutcomeTest, AnOutgoingCallEndsAsTheFarEndChose) {
    const OutcomeCase& outcome = GetParam();
    ASSERT_EQ(Control(std::string("dialout dtiB1T2 ") + outcome.dialout), "OK")
        << "chosen before the line device is opened";
    const LINEDEV line = Open("dtiB1T2");
    auto slot = std::make_unique<CRN>(0);
    ASSERT_EQ(Make(line, slot.get(), "5553000"), 0);

    std::vector<std::pair<int32_t, int32_t>> seen;
    for (size_t i = 0; i < outcome.events.size(); ++i) {
        const Seen event = NextIsdnEvent();
        EXPECT_EQ(event.device, line);
        EXPECT_EQ(event.crn, *slot) << "every event names the call written to the caller";
        seen.emplace_back(event.type, event.result);
    }
    EXPECT_EQ(seen, outcome.events);
    ExpectNoMoreEvents();
    const CRN crn = *slot;
    EXPECT_EQ(State(crn), outcome.final_state);
    EXPECT_EQ(CallField(crn, "direction"), "out");
    EXPECT_EQ(CallField(crn, "dnis"), "5553000");

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_DropCall, crn, CAUSE_NORMAL_CLEARING, kAsync), 0);
    EXPECT_EQ(NextIsdnEvent().type, CCEV_DROPCALL);
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_ReleaseCall, crn), 0);
    ExpectNoMoreEvents() /* the synchronous release raises nothing */;
    EXPECT_EQ(State(crn), -1001);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, IsdnOutcomeTest,
    ::testing::Values(
        OutcomeCase{"connect",
                    {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_CONNECTED, 0}},
                    CCST_CONNECTED},
        OutcomeCase{"busy",
                    {{CCEV_PROCEEDING, 0}, {CCEV_DISCONNECTED, CAUSE_USER_BUSY}},
                    CCST_DISCONNECTED},
        OutcomeCase{
            "noanswer",
            {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_DISCONNECTED, CAUSE_NO_ANSWER}},
            CCST_DISCONNECTED},
        OutcomeCase{"fail", {{CCEV_TASKFAIL, CAUSE_TEMPORARY_FAILURE}}, CCST_DISCONNECTED},
        OutcomeCase{"busy 34",
                    {{CCEV_PROCEEDING, 0}, {CCEV_DISCONNECTED, CAUSE_NO_CIRCUIT_AVAILABLE}},
                    CCST_DISCONNECTED}));

TEST_F(IsdnCallTest, APendingCallWaitsForTheFarEnd) {
    ASSERT_EQ(Control("dialout * pending"), "OK");
    const LINEDEV line = Open("dtiB1T3");
    CRN slot = 0;
    EXPECT_EQ(Control("farend dtiB1T3 connect"), "ERR no outgoing call waits on dtiB1T3");
    ASSERT_EQ(Make(line, &slot, "100"), 0);
    EXPECT_EQ(NextIsdnEvent().type, CCEV_PROCEEDING);
    ExpectNoMoreEvents();
    EXPECT_EQ(State(slot), CCST_PROCEEDING);

    EXPECT_EQ(Control("farend dtiB1T3 busy"), "OK crn=" + std::to_string(slot));
    const Seen ended = NextIsdnEvent();
    EXPECT_EQ(ended.type, CCEV_DISCONNECTED);
    EXPECT_EQ(ended.result, CAUSE_USER_BUSY);
    EXPECT_EQ(Control("farend dtiB1T3 connect"), "ERR no outgoing call waits on dtiB1T3");
}

TEST_F(IsdnCallTest, TheCallReferenceIsWrittenLaterFromTheSimulatorsThread) {
    const LINEDEV line = Open("dtiB1T4");
    auto outgoing = std::make_unique<CRN>(0);
    ASSERT_EQ(Control("worker hold"), "OK");
    ASSERT_EQ(Make(line, outgoing.get(), "200"), 0);
    EXPECT_EQ(*outgoing, 0) << "nothing is written before the function returns";
    EXPECT_EQ(Control("settle"), "ERR worker held");
    EXPECT_EQ(Control("query events"), "OK 0");
    ASSERT_EQ(Control("worker run"), "OK");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_THAT(Control("query line dtiB1T4"),
                ::testing::HasSubstr("call=" + std::to_string(*outgoing)));
    EXPECT_GE(*outgoing, 500);

    const LINEDEV incoming_line = Open("dtiB1T5");
    auto incoming = std::make_unique<CRN>(0);
    ASSERT_EQ(Wait(incoming_line, incoming.get()), 0);
    ASSERT_EQ(Control("worker hold"), "OK");
    const CRN offered = CrnOf(Control("call dtiB1T5 300"));
    EXPECT_EQ(*incoming, 0);
    ASSERT_EQ(Control("worker run"), "OK");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(*incoming, offered);
}

TEST_F(IsdnCallTest, ClosingTheLineDeviceCancelsWhatIsStillOwed) {
    const LINEDEV line = Open("dtiB1T6");
    auto slot = std::make_unique<CRN>(0);
    ASSERT_EQ(Control("worker hold"), "OK");
    ASSERT_EQ(Make(line, slot.get(), "400"), 0);
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_Close, line), 0);
    slot.reset();  // the caller may free its memory once the line device is closed
    ASSERT_EQ(Control("worker run"), "OK");
    ExpectNoMoreEvents();
}

TEST_F(IsdnCallTest, ACallWaitsUntilItsLineDeviceWaitsAndIsFree) {
    const LINEDEV line = Open("dtiB1T7");
    const std::string first = Control("call dtiB1T7 1");
    EXPECT_THAT(first, ::testing::EndsWith(" held"));
    ExpectNoMoreEvents();
    EXPECT_EQ(State(CrnOf(first)), -1001) << "not presented yet";

    CRN slot = 0;
    ASSERT_EQ(Wait(line, &slot), 0);
    Seen offered = NextIsdnEvent();
    EXPECT_EQ(offered.type, CCEV_OFFERED);
    EXPECT_EQ(offered.crn, CrnOf(first));

    const std::string second = Control("call dtiB1T7 2");
    EXPECT_THAT(second, ::testing::EndsWith(" held")) << "the line device carries a call";
    const std::string third = Control("call dtiB1T7 3");
    EXPECT_EQ(Control("hangup dtiB1T7"), "OK crn=" + std::to_string(CrnOf(first)));
    EXPECT_EQ(NextIsdnEvent().type, CCEV_DISCONNECTED);
    EXPECT_EQ(Control("hangup dtiB1T7"), "OK crn=" + std::to_string(CrnOf(third)))
        << "the newest waiting call gives up";
    ExpectNoMoreEvents();

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_DropCall, CrnOf(first), 16, kSync), 0);
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_ReleaseCall, CrnOf(first)), 0);
    offered = NextIsdnEvent();
    EXPECT_EQ(offered.type, CCEV_OFFERED);
    EXPECT_EQ(offered.crn, CrnOf(second));
    EXPECT_EQ(slot, CrnOf(second));
    char number[129] = {};
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetDNIS, CrnOf(second), number), 0);
    EXPECT_STREQ(number, "2");
}

TEST_F(IsdnCallTest, ARestartEndsTheCallsAndCompletesWithItsEvent) {
    const LINEDEV line = Open("dtiB1T8");
    CRN slot = 0;
    ASSERT_EQ(Wait(line, &slot), 0);
    const CRN crn = CrnOf(Control("call dtiB1T8 77"));
    EXPECT_EQ(NextIsdnEvent().type, CCEV_OFFERED);

    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_Restart, line, kAsync), 0);
    const Seen restarted = NextIsdnEvent();
    EXPECT_EQ(restarted.device, line);
    EXPECT_EQ(restarted.type, 0x806);
    EXPECT_EQ(restarted.crn, 0);
    EXPECT_EQ(State(crn), -1001);
    EXPECT_THAT(Control("query line dtiB1T8"),
                ::testing::StartsWith("OK line=" + std::to_string(line) + " waiting=0 call=0"));
    EXPECT_THAT(Control("call dtiB1T8 78"), ::testing::EndsWith(" held"))
        << "the line device must wait again";
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_Restart, line, kSync), 0);
    ExpectNoMoreEvents() /* a synchronous restart raises nothing */;
    EXPECT_EQ(Control("query line dtiB1T8"),
              "OK line=" + std::to_string(line) + " waiting=0 call=0 unpresented=0 bchannel=0");
}

TEST_F(IsdnCallTest, RefusalsLeaveTheReasonOnTheLineDevice) {
    CLibDXXMT voice;
    const LINEDEV line = Open("dtiB1T9");
    CRN slot = 0;
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_WaitCall, line, &slot, nullptr, -1, kSync), -1)
        << "only the asynchronous wait is served";
    EXPECT_EQ(LastError(line), EDV_BADPARM);
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_AcceptCall, 4242, 0, kAsync), -1);

    ASSERT_EQ(Make(line, &slot, "5"), 0);
    CRN second = 0;
    EXPECT_EQ(Make(line, &second, "6"), -1);
    EXPECT_EQ(LastError(line), EDV_BUSY);
    EXPECT_STREQ(VendorCall(&srl_, &CLibSRLMT::ATDV_ERRMSGP, line), "Device busy");
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_ReleaseCall, slot), -1) << "not dropped yet";
    EXPECT_EQ(LastError(line), EDV_BADPARM);
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_AcceptCall, slot, 0, kAsync), -1)
        << "an outgoing call is not accepted";

    const int32_t channel = VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C1", 0);
    EXPECT_EQ(Make(channel, &second, "7"), -1) << "a voice channel carries no calls";
    EXPECT_EQ(LastError(channel), EDV_BADDEVICE);
    EXPECT_EQ(Make(line, nullptr, "7"), -1);
}

TEST_F(IsdnCallTest, ChannelStatesAndInformationElementsToSend) {
    const LINEDEV line = Open("dtiB1T10");
    ASSERT_EQ(
        VendorCall(&isdn_, &CLibDTIMT::cc_SetChanState, line, ISDN_OUT_OF_SERVICE, int32_t{kAsync}),
        0);
    const Seen changed = NextIsdnEvent();
    EXPECT_EQ(changed.type, CCEV_SETCHANSTATE);
    EXPECT_EQ(changed.result, ISDN_OUT_OF_SERVICE);
    int32_t state = -1;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetBChanState, line, &state), 0);
    EXPECT_EQ(state, ISDN_OUT_OF_SERVICE);
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetDChanState, line, &state), 0);
    EXPECT_EQ(state, 1) << "the D channel is up";

    IE_BLK ies{};
    ies.length = 2;
    ies.data[0] = 0x1C;
    ies.data[1] = 0x05;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_SetInfoElem, line, &ies), 0);
    CRN slot = 0;
    ASSERT_EQ(Make(line, &slot, "8"), 0);
    ASSERT_EQ(Control("settle"), "OK");
    EXPECT_EQ(CallField(slot, "ies"), "1C05") << "sent with the next call";

    char* text = nullptr;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_ResultMsg, line, CAUSE_USER_BUSY, &text), 0);
    EXPECT_STREQ(text, "User busy");
}

TEST_F(IsdnCallTest, ASpanOpensAsABoardLevelLineDeviceWithoutCalls) {
    const LINEDEV span = Open("dtiB1");
    int32_t state = -1;
    ASSERT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetDChanState, span, &state), 0);
    EXPECT_EQ(state, 1) << "the span's D channel is up";
    CRN slot = 0;
    EXPECT_EQ(Wait(span, &slot), -1) << "calls come on time slots only";
    EXPECT_EQ(LastError(span), EDV_BADDEVICE);
    EXPECT_EQ(Make(span, &slot, "5"), -1);
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_Close, span), 0);
    EXPECT_EQ(VendorCall(&isdn_, &CLibDTIMT::cc_GetDChanState, span, &state), -1);
}

TEST_F(IsdnCallTest, BadFarEndCommandsAreRefused) {
    Open("dtiB1T11");
    EXPECT_EQ(Control("call dtiB1T11 1 2 3"),
              "ERR usage: call <device> [<dnis> [<ani>]] [ie=<hex>] [name=<name>] [type=<n>]");
    EXPECT_EQ(Control("call dtiB1T11 ie=0"), "ERR ie= takes at most 260 bytes in hex");
    EXPECT_EQ(Control("call dtiB1T11 123456789012345678901234567890123"),
              "ERR numbers and names have at most 32 characters");
    EXPECT_EQ(Control("call dtiB1T11 1 type=300"), "ERR type= takes a number 0 to 255");
    EXPECT_EQ(Control("dialout dtiB9T1 busy"), "ERR no device dtiB9T1");
    EXPECT_EQ(Control("dialout * ringing"),
              "ERR usage: dialout <device>|* connect|busy|noanswer|fail|pending [<cause>]");
    EXPECT_EQ(Control("farend dtiB1T11 pending"),
              "ERR usage: farend <device> connect|busy|noanswer|fail [<cause>]");
    EXPECT_EQ(Control("hangup dtiB1T11"), "ERR no call on dtiB1T11");
    EXPECT_EQ(Control("worker nap"), "ERR usage: worker hold|run");
    EXPECT_EQ(Control("query call 5"), "ERR no call 5");
    EXPECT_EQ(Control("query line dtiB1T12"), "ERR no line device dtiB1T12");
    CLibDXXMT voice;
    VendorCall(&voice, &CLibDXXMT::dx_open, "dxxxB1C2", 0);
    EXPECT_EQ(Control("call dxxxB1C2 1"), "ERR dxxxB1C2 is not a line device");
}

}  // namespace
}  // namespace ruzd::boardsim
