// The composite call-control operations against recording stubs: each takes the Global Call
// function while Global Call is started and the native ISDN function otherwise, with the
// arguments each side wants, and never touches the other side.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "telephony/tests/facade_fixture.h"
#include "telephony/tests/stubs/stub_arguments.h"
#include "telephony/tests/stubs/stub_value.h"

namespace ruzd::telephony {
namespace {

using stubs::CallText;
using stubs::StubNumber;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int32_t kLdev = 21;
constexpr CRN kCrn = 4100;
constexpr LINEDEV kLine = 7;

// What the composites are handed; kept here so that the expected calls can name the addresses.
struct Arguments {
    CRN crn = 0;
    char buffer[64] = {};
    int32_t state = 0;
    LINEDEV linedev = 0;
    METAEVENT meta{};
    IE_BLK elements{};
    DCHAN_CFG config{};
};

struct Composite {
    std::string name;
    std::function<int32_t(CHardware&, Arguments&)> call;
    // The one call each path makes and what the composite returns then; an empty call: none.
    std::function<std::string(Arguments&)> global_call;
    std::function<std::string(Arguments&)> native;
    const char* global_call_result;  // the stub export whose number comes back; null: 0
    const char* native_result;
};

std::vector<Composite> Composites() {
    auto text = [](auto... args) { return [=](Arguments&) { return CallText(args...); }; };
    return {
        {"HoldCall", [](CHardware& h, Arguments&) { return h.HoldCall(kCrn, 1); },
         text("gc_HoldCall", kCrn, 1u), text("cc_HoldCall", kCrn, 1u), "gc_HoldCall",
         "cc_HoldCall"},
        {"HoldAck", [](CHardware& h, Arguments&) { return h.HoldAck(kCrn); },
         text("gc_HoldACK", kCrn), text("cc_HoldAck", kCrn), "gc_HoldACK", "cc_HoldAck"},
        {"HoldRej", [](CHardware& h, Arguments&) { return h.HoldRej(kCrn, 17); },
         text("gc_HoldRej", kCrn, 17), text("cc_HoldRej", kCrn, 17), "gc_HoldRej", "cc_HoldRej"},
        {"RetrieveCall", [](CHardware& h, Arguments&) { return h.RetrieveCall(kCrn, 2); },
         text("gc_RetrieveCall", kCrn, 2u), text("cc_RetrieveCall", kCrn, 2u), "gc_RetrieveCall",
         "cc_RetrieveCall"},
        {"RetrieveAck", [](CHardware& h, Arguments&) { return h.RetrieveAck(kCrn); },
         text("gc_RetrieveAck", kCrn), text("cc_RetrieveAck", kCrn), "gc_RetrieveAck",
         "cc_RetrieveAck"},
        {"RetrieveRej", [](CHardware& h, Arguments&) { return h.RetrieveRej(kCrn, 3); },
         text("gc_RetrieveRej", kCrn, 3), text("cc_RetrieveRej", kCrn, 3), "gc_RetrieveRej",
         "cc_RetrieveRej"},
        {"AnswerCall", [](CHardware& h, Arguments&) { return h.AnswerCall(kLdev, kCrn, 2, 0); },
         text("gc_AnswerCall", kCrn, 2, 0u), text("cc_AnswerCall", kCrn, 2, 0u), "gc_AnswerCall",
         "cc_AnswerCall"},
        {"GetCRN", [](CHardware& h, Arguments& a) { return h.GetCRN(kLdev, &a.crn, &a.meta); },
         [](Arguments& a) { return CallText("gc_GetCRN", &a.crn, &a.meta); },
         [](Arguments& a) { return CallText("cc_GetCRN", &a.crn, static_cast<void*>(&a.meta)); },
         "gc_GetCRN", "cc_GetCRN"},
        {"BlockTs", [](CHardware& h, Arguments&) { return h.BlockTs(kLdev, kLine); }, nullptr,
         text("cc_BlockTs", kLine), nullptr, "cc_BlockTs"},
        {"UnBlockTs", [](CHardware& h, Arguments&) { return h.UnBlockTs(kLdev, kLine); }, nullptr,
         text("cc_UnBlockTs", kLine), nullptr, "cc_UnBlockTs"},
        {"GetCallInfo",
         [](CHardware& h, Arguments& a) {
             return h.GetCallInfo(kLdev, kCrn, 262, static_cast<char*>(a.buffer));
         },
         [](Arguments& a) {
             return CallText("gc_GetCallInfo", kCrn, 262, static_cast<char*>(a.buffer));
         },
         [](Arguments& a) {
             return CallText("cc_GetCallInfo", kCrn, 262, static_cast<char*>(a.buffer));
         },
         "gc_GetCallInfo", "cc_GetCallInfo"},
        {"GetSigInfo",
         [](CHardware& h, Arguments& a) {
             return h.GetSigInfo(kLdev, kLine, a.buffer, U_IES, &a.meta);
         },
         [](Arguments& a) {
             return CallText("gc_GetSigInfo", kLine, static_cast<char*>(a.buffer), U_IES, &a.meta);
         },
         [](Arguments& a) {
             return CallText("cc_GetSigInfo", static_cast<char*>(a.buffer), U_IES,
                             static_cast<void*>(&a.meta));
         },
         "gc_GetSigInfo", "cc_GetSigInfo"},
        {"GetDNIS",
         [](CHardware& h, Arguments& a) {
             return h.GetDNIS(kLdev, kCrn, static_cast<char*>(a.buffer));
         },
         [](Arguments& a) { return CallText("gc_GetDNIS", kCrn, static_cast<char*>(a.buffer)); },
         [](Arguments& a) { return CallText("cc_GetDNIS", kCrn, static_cast<char*>(a.buffer)); },
         "gc_GetDNIS", "cc_GetDNIS"},
        {"GetANI",
         [](CHardware& h, Arguments& a) {
             return h.GetANI(kLdev, kCrn, static_cast<char*>(a.buffer));
         },
         [](Arguments& a) {
             return CallText("gc_GetCallInfo", kCrn, 263, static_cast<char*>(a.buffer));
         },
         [](Arguments& a) { return CallText("cc_GetANI", kCrn, static_cast<char*>(a.buffer)); },
         "gc_GetCallInfo", "cc_GetANI"},
        {"GetBChanState",
         [](CHardware& h, Arguments& a) { return h.GetBChanState(kLdev, kLine, &a.state); },
         [](Arguments& a) { return CallText("gc_GetLinedevState", kLine, 0, &a.state); },
         [](Arguments& a) { return CallText("cc_GetBChanState", kLine, &a.state); },
         "gc_GetLinedevState", "cc_GetBChanState"},
        {"GetDChanState",
         [](CHardware& h, Arguments& a) { return h.GetDChanState(kLdev, kLine, &a.state); },
         [](Arguments& a) { return CallText("gc_GetLinedevState", kLine, 1, &a.state); },
         [](Arguments& a) { return CallText("cc_GetDChanState", kLine, &a.state); },
         "gc_GetLinedevState", "cc_GetDChanState"},
        {"CallProgress",
         [](CHardware& h, Arguments&) { return h.CallProgress(kLdev, kCrn, 50, 9); },
         text("gc_CallProgress", kCrn, 50), text("cc_CallProgress", kCrn, 50), "gc_CallProgress",
         "cc_CallProgress"},
        {"GetCallState",
         [](CHardware& h, Arguments& a) { return h.GetCallState(kLdev, kCrn, &a.state); },
         [](Arguments& a) { return CallText("gc_GetCallState", kCrn, &a.state); },
         [](Arguments& a) { return CallText("cc_CallState", kCrn, &a.state); }, "gc_GetCallState",
         "cc_CallState"},
        {"CRN2LineDev",
         [](CHardware& h, Arguments& a) { return h.CRN2LineDev(kLdev, kCrn, &a.linedev); },
         [](Arguments& a) { return CallText("gc_CRN2LineDev", kCrn, &a.linedev); },
         [](Arguments& a) { return CallText("cc_CRN2LineDev", kCrn, &a.linedev); },
         "gc_CRN2LineDev", "cc_CRN2LineDev"},
        {"ResultValue", [](CHardware& h, Arguments& a) { return h.ResultValue(kLdev, &a.meta); },
         [](Arguments& a) { return "gc_ResultValue(" + stubs::ArgumentText(&a.meta) + ", "; },
         [](Arguments& a) { return CallText("cc_ResultValue", static_cast<void*>(&a.meta)); },
         "gc_ResultValue", "cc_ResultValue"},
        {"GetInfoElem",
         [](CHardware& h, Arguments& a) { return h.GetInfoElem(kLdev, kLine, &a.elements); },
         [](Arguments&) { return std::string("gc_GetInfoElem(7, "); },
         [](Arguments& a) { return CallText("cc_GetInfoElem", kLine, &a.elements); },
         "gc_GetInfoElem", "cc_GetInfoElem"},
        {"SetDChanCfg", [](CHardware& h, Arguments& a) { return h.SetDChanCfg(kLine, &a.config); },
         [](Arguments& a) { return CallText("cc_SetDChanCfg", kLine, &a.config); },
         [](Arguments& a) { return CallText("cc_SetDChanCfg", kLine, &a.config); },
         "cc_SetDChanCfg", "cc_SetDChanCfg"},
        {"StartTrace", [](CHardware& h, Arguments&) { return h.StartTrace(kLine, "trace.log"); },
         text("gc_StartTrace", kLine, "trace.log"), text("cc_StartTrace", kLine, "trace.log"),
         "gc_StartTrace", "cc_StartTrace"},
        {"StopTrace", [](CHardware& h, Arguments&) { return h.StopTrace(kLine); },
         text("gc_StopTrace", kLine), text("cc_StopTrace", kLine), "gc_StopTrace", "cc_StopTrace"},
    };
}

class CompositeOperationsTest : public FacadeTest {
protected:
    CompositeOperationsTest() { InstallRecordingDialogic(); }
};

TEST_F(CompositeOperationsTest, EachPathCallsItsOwnFunctionOnly) {
    TestFacade hardware;
    for (bool global_call : {true, false}) {
        hardware.SetGlobalCallInitialised(global_call);
        TakeCalls();
        for (const Composite& c : Composites()) {
            SCOPED_TRACE(c.name + (global_call ? " with Global Call" : " natively"));
            Arguments arguments;
            const auto& expected_call = global_call ? c.global_call : c.native;
            const char* result_of = global_call ? c.global_call_result : c.native_result;
            const int32_t result = c.call(hardware, arguments);
            const std::vector<std::string> calls = TakeCalls();
            if (!expected_call) {
                EXPECT_EQ(result, 0);
                EXPECT_THAT(calls, IsEmpty());
                continue;
            }
            EXPECT_EQ(result, StubNumber(result_of));
            ASSERT_EQ(calls.size(), 1u);
            const std::string wanted = expected_call(arguments);
            if (wanted.back() == ' ') {
                EXPECT_THAT(calls[0], ::testing::StartsWith(wanted));
            } else {
                EXPECT_EQ(calls[0], wanted);
            }
        }
    }
}

TEST_F(CompositeOperationsTest, AFailingGlobalCallResultQueryIsLoggedAndReturned) {
    TestFacade hardware;
    hardware.SetGlobalCallInitialised(true);
    ForgetLines();
    METAEVENT meta{};
    const int32_t code = StubNumber("gc_ResultValue");
    EXPECT_EQ(hardware.ResultValue(kLdev, &meta), code);
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "*** gc_ResultValue failed, code=" + std::to_string(code));
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[0].device, kLdev);
}

TEST_F(CompositeOperationsTest, SendingUnderGlobalCallAsksForTheLineDeviceFirst) {
    TestFacade hardware;
    hardware.SetGlobalCallInitialised(true);
    TakeCalls();
    IE_BLK elements{};
    // The stub's gc_CRN2LineDev fails (answers non-zero): nothing is sent.
    EXPECT_EQ(hardware.SndMsg(kLdev, kCrn, 5, &elements), StubNumber("gc_CRN2LineDev"));
    const std::vector<std::string> calls = TakeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_THAT(calls[0], ::testing::StartsWith("gc_CRN2LineDev(4100, "));

    hardware.SetGlobalCallInitialised(false);
    EXPECT_EQ(hardware.SndMsg(kLdev, kCrn, 5, &elements), StubNumber("cc_SndMsg"));
    EXPECT_THAT(TakeCalls(), ElementsAre(CallText("cc_SndMsg", kCrn, 5, &elements)));
}

}  // namespace
}  // namespace ruzd::telephony
