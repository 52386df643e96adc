// Calls through the facade on the simulated boards, as the node places and takes them: on the
// native ISDN path and on the Global Call path, with the events read back through the event
// operations and the call data through the composite operations, while the control socket
// plays the far end.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "telephony/restart_marks.h"
#include "telephony/tests/facade_fixture.h"

namespace ruzd::telephony {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;

// The central server's number of the line device under test.
constexpr int32_t kLdev = 12;
// Long enough for anything the simulator owes; never reached when it works.
constexpr int32_t kEventWait = 5000;

enum class Path { kIsdn, kGlobalCall };

struct Seen {
    int32_t device = -1;
    int32_t type = -1;
    CRN crn = -1;
    int32_t result = -1;
    CRN data_crn = -1;  // from the event data itself
    int32_t data_result = -1;
    std::vector<uint8_t> ies;
};

class FacadeCallsTest : public FacadeBoardsimTest, public ::testing::WithParamInterface<Path> {
protected:
    bool global_call() const { return GetParam() == Path::kGlobalCall; }

    // A facade with Global Call started when the path wants it.
    std::unique_ptr<TestFacade> MakeFacade() {
        auto hardware = std::make_unique<TestFacade>();
        EXPECT_TRUE(hardware->IsIntelAvailable());
        if (global_call()) {
            EXPECT_EQ(hardware->InitGlobalCall(8, nullptr), 1);
        }
        EXPECT_EQ(hardware->IsGlobalCallInitialised(), global_call());
        return hardware;
    }

    // Opens the time slot on the path; Global Call's asynchronous open completes by an event.
    LINEDEV Open(CHardware& hardware, const char* slot) {
        LINEDEV line = 0;
        if (!global_call()) {
            EXPECT_EQ(hardware.cc_Open(kLdev, &line, slot, 0), 0);
            return line;
        }
        const std::string name = std::string(":N_") + slot + ":P_isdn";
        EXPECT_EQ(hardware.gc_OpenEx(kLdev, &line, name, GC_SYNC, &user_attribute_), 0);
        const Seen opened = NextEvent(hardware);
        EXPECT_EQ(opened.type, CCEV_OPENEX);
        EXPECT_EQ(opened.device, line);
        return line;
    }

    // The next event, read as the node's event thread reads it.
    Seen NextEvent(CHardware& hardware) {
        Seen seen;
        if (hardware.sr_waitevt(kEventWait) != 0)
            return seen;
        seen.device = hardware.sr_getevtdev();
        seen.type = hardware.sr_getevttype();
        void* data = hardware.sr_getevtdatap();
        if (data != nullptr) {
            std::memcpy(&seen.data_crn, data, sizeof(CRN));
            std::memcpy(&seen.data_result, static_cast<char*>(data) + 4, sizeof(int32_t));
        }
        METAEVENT meta{};
        void* event = data;
        if (global_call()) {
            EXPECT_EQ(hardware.gc_GetMetaEvent(&meta), 0);
            EXPECT_EQ(meta.evttype, seen.type);
            event = &meta;
        }
        CRN crn = -1;
        if (hardware.GetCRN(kLdev, &crn, event) == 0)
            seen.crn = crn;
        seen.result = hardware.ResultValue(kLdev, event);
        IE_BLK block{};
        if (hardware.GetSigInfo(kLdev, seen.device, reinterpret_cast<char*>(&block), U_IES,
                                event) == 0)
            seen.ies.assign(block.data, block.data + block.length);
        return seen;
    }

    int32_t Wait(CHardware& hardware, LINEDEV line, CRN* slot) {
        return global_call() ? hardware.gc_WaitCall(kLdev, line, nullptr, nullptr, -1, GC_ASYNC)
                             : hardware.cc_WaitCall(kLdev, line, slot, nullptr, -1, EV_ASYNC);
    }
    int32_t Accept(CHardware& hardware, CRN crn) {
        return global_call() ? hardware.gc_AcceptCall(kLdev, crn, 0, GC_ASYNC)
                             : hardware.cc_AcceptCall(kLdev, crn, 0, EV_ASYNC);
    }
    int32_t Drop(CHardware& hardware, CRN crn) {
        return global_call() ? hardware.gc_DropCall(kLdev, crn, CAUSE_NORMAL_CLEARING, GC_ASYNC)
                             : hardware.cc_DropCall(kLdev, crn, CAUSE_NORMAL_CLEARING, EV_ASYNC);
    }
    int32_t Release(CHardware& hardware, CRN crn) {
        return global_call() ? hardware.gc_ReleaseCallEx(kLdev, crn, GC_ASYNC)
                             : hardware.cc_ReleaseCallEx(kLdev, crn, EV_ASYNC);
    }
    int32_t Make(CHardware& hardware, LINEDEV line, CRN* slot, const char* number) {
        if (global_call()) {
            GC_MAKECALL_BLK blocks{nullptr, nullptr};
            return hardware.gc_MakeCall(kLdev, line, slot, number, &blocks, 30, GC_ASYNC);
        }
        MAKECALL_BLK block{};
        return hardware.cc_MakeCall(kLdev, line, slot, number, &block, 30, EV_ASYNC);
    }
    int32_t State(CHardware& hardware, CRN crn) {
        int32_t state = -1;
        const int32_t result = hardware.GetCallState(kLdev, crn, &state);
        return result == 0 ? state : -1000 + result;
    }

    void ExpectNoMoreEvents() {
        ASSERT_EQ(Control("settle"), "OK");
        EXPECT_EQ(Control("query events"), "OK 0");
    }

    static CRN CrnOf(const std::string& answer) {
        const size_t at = answer.find("crn=");
        return at == std::string::npos ? -1 : std::stoi(answer.substr(at + 4));
    }

    int user_attribute_ = 0;
};

TEST_P(FacadeCallsTest, AWholeIncomingCall) {
    auto hardware = MakeFacade();
    const LINEDEV line = Open(*hardware, "dtiB1T1");
    // The library writes the call reference from its own thread after the wait returned: the
    // memory stays where it is until the call has come.
    auto slot = std::make_unique<CRN>(0);
    ASSERT_EQ(Wait(*hardware, line, slot.get()), 0);

    const std::string answer = Control("call dtiB1T1 5551000 5552000 ie=0A0BFF");
    ASSERT_THAT(answer, MatchesRegex("OK crn=[0-9]+"));
    const CRN crn = CrnOf(answer);

    const Seen offered = NextEvent(*hardware);
    EXPECT_EQ(offered.device, line);
    EXPECT_EQ(offered.type, CCEV_OFFERED);
    EXPECT_EQ(offered.crn, crn);
    EXPECT_EQ(offered.data_crn, crn);
    EXPECT_EQ(offered.result, 0);
    EXPECT_EQ(offered.data_result, 0);
    EXPECT_THAT(offered.ies, ElementsAre(0x0A, 0x0B, 0xFF));
    if (!global_call()) {
        EXPECT_EQ(*slot, crn);
    }
    EXPECT_EQ(State(*hardware, crn), CCST_OFFERED);

    char number[129] = {};
    ASSERT_EQ(hardware->GetDNIS(kLdev, crn, number), 0);
    EXPECT_STREQ(number, "5551000");
    ASSERT_EQ(hardware->GetANI(kLdev, crn, number), 0);
    EXPECT_STREQ(number, "5552000");
    ASSERT_EQ(hardware->GetCallInfo(kLdev, crn, CALLINFO_DESTINATION_ADDRESS, number), 0);
    EXPECT_STREQ(number, "5551000");
    LINEDEV of_call = 0;
    ASSERT_EQ(hardware->CRN2LineDev(kLdev, crn, &of_call), 0);
    EXPECT_EQ(of_call, line);
    IE_BLK received{};
    ASSERT_EQ(hardware->GetInfoElem(kLdev, line, &received), 0);
    EXPECT_EQ(received.length, 3);

    ASSERT_EQ(Accept(*hardware, crn), 0);
    const Seen accepted = NextEvent(*hardware);
    EXPECT_EQ(accepted.type, CCEV_ACCEPT);
    EXPECT_EQ(accepted.crn, crn);
    EXPECT_EQ(State(*hardware, crn), CCST_ACCEPTED);

    ASSERT_EQ(hardware->AnswerCall(kLdev, crn, 0, EV_ASYNC), 0);
    EXPECT_EQ(NextEvent(*hardware).type, CCEV_ANSWERED);
    EXPECT_EQ(State(*hardware, crn), CCST_CONNECTED);

    ASSERT_EQ(hardware->HoldCall(crn, EV_ASYNC), 0);
    EXPECT_EQ(NextEvent(*hardware).type, CCEV_HOLDACK);
    EXPECT_EQ(State(*hardware, crn), CCST_HOLD);
    ASSERT_EQ(hardware->RetrieveCall(crn, EV_ASYNC), 0);
    EXPECT_EQ(NextEvent(*hardware).type, CCEV_RETRIEVEACK);
    EXPECT_EQ(State(*hardware, crn), CCST_CONNECTED);
    // Only one side's functions were asked.
    const char* other_side = global_call() ? "cc_HoldCall" : "gc_HoldCall";
    EXPECT_EQ(Control(std::string("query calls ") + other_side), "OK 0");

    ASSERT_EQ(Control("hangup dtiB1T1"), "OK crn=" + std::to_string(crn));
    const Seen disconnected = NextEvent(*hardware);
    EXPECT_EQ(disconnected.type, CCEV_DISCONNECTED);
    EXPECT_EQ(disconnected.crn, crn);
    EXPECT_EQ(disconnected.result, CAUSE_NORMAL_CLEARING);

    ASSERT_EQ(Drop(*hardware, crn), 0);
    const Seen dropped = NextEvent(*hardware);
    EXPECT_EQ(dropped.type, CCEV_DROPCALL);
    EXPECT_EQ(dropped.result, CAUSE_NORMAL_CLEARING);
    EXPECT_EQ(State(*hardware, crn), CCST_IDLE);

    ASSERT_EQ(Release(*hardware, crn), 0);
    const Seen released = NextEvent(*hardware);
    EXPECT_EQ(released.type, CCEV_RELEASECALL);
    EXPECT_EQ(released.crn, crn);
    EXPECT_EQ(State(*hardware, crn), -1001) << "the call is gone";
    ExpectNoMoreEvents();
}

struct Outcome {
    const char* dialout;
    std::vector<std::pair<int32_t, int32_t>> events;  // type and result
    int32_t final_state;
};

const Outcome kOutcomes[] = {
    {"connect", {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_CONNECTED, 0}}, CCST_CONNECTED},
    {"busy", {{CCEV_PROCEEDING, 0}, {CCEV_DISCONNECTED, CAUSE_USER_BUSY}}, CCST_DISCONNECTED},
    {"noanswer",
     {{CCEV_PROCEEDING, 0}, {CCEV_ALERTING, 0}, {CCEV_DISCONNECTED, CAUSE_NO_ANSWER}},
     CCST_DISCONNECTED},
    {"fail", {{CCEV_TASKFAIL, CAUSE_TEMPORARY_FAILURE}}, CCST_DISCONNECTED},
};

TEST_P(FacadeCallsTest, AnOutgoingCallForEachOutcome) {
    auto hardware = MakeFacade();
    const char* slots[] = {"dtiB1T2", "dtiB1T3", "dtiB1T4", "dtiB1T5"};
    for (size_t i = 0; i < std::size(kOutcomes); ++i) {
        const Outcome& outcome = kOutcomes[i];
        SCOPED_TRACE(outcome.dialout);
        ASSERT_EQ(Control(std::string("dialout ") + slots[i] + " " + outcome.dialout), "OK");
        const LINEDEV line = Open(*hardware, slots[i]);
        auto slot = std::make_unique<CRN>(0);
        ASSERT_EQ(Make(*hardware, line, slot.get(), "5553000"), 0);

        std::vector<std::pair<int32_t, int32_t>> seen;
        for (size_t e = 0; e < outcome.events.size(); ++e) {
            const Seen event = NextEvent(*hardware);
            EXPECT_EQ(event.device, line);
            EXPECT_EQ(event.crn, *slot) << "every event names the call written to the caller";
            EXPECT_EQ(event.data_crn, *slot);
            seen.emplace_back(event.type, event.result);
        }
        EXPECT_EQ(seen, outcome.events);
        ExpectNoMoreEvents();
        const CRN crn = *slot;
        EXPECT_EQ(State(*hardware, crn), outcome.final_state);

        ASSERT_EQ(Drop(*hardware, crn), 0);
        EXPECT_EQ(NextEvent(*hardware).type, CCEV_DROPCALL);
        ASSERT_EQ(Release(*hardware, crn), 0);
        EXPECT_EQ(NextEvent(*hardware).type, CCEV_RELEASECALL);
        ExpectNoMoreEvents();
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FacadeCallsTest, ::testing::Values(Path::kIsdn, Path::kGlobalCall),
                         [](const ::testing::TestParamInfo<Path>& info) {
                             return info.param == Path::kIsdn ? "Isdn" : "GlobalCall";
                         });

using FacadeRefusalsTest = FacadeBoardsimTest;

TEST_F(FacadeRefusalsTest, ARestartingLineDeviceTakesNoCallsUntilItsRestartCompletes) {
    TestFacade hardware;
    LINEDEV line = 0;
    ASSERT_EQ(hardware.cc_Open(kLdev, &line, "dtiB1T1", 0), 0);
    ASSERT_EQ(hardware.cc_Restart(kLdev, line, EV_ASYNC), 0);
    EXPECT_TRUE(IsRestarting(kLdev));

    ForgetLines();
    auto slot = std::make_unique<CRN>(0);
    MAKECALL_BLK block{};
    EXPECT_EQ(hardware.cc_MakeCall(kLdev, line, slot.get(), "1", &block, 30, EV_ASYNC), -1);
    EXPECT_EQ(hardware.cc_WaitCall(kLdev, line, slot.get(), nullptr, -1, EV_ASYNC), -1);
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "*** cc_MakeCall ignored during cc_restart");
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[0].device, kLdev);
    EXPECT_EQ(lines[1].text, "*** cc_WaitCall ignored during cc_restart");
    EXPECT_EQ(Control("query calls cc_MakeCall"), "OK 0") << "the library was never asked";

    // The restart completes with its event; the node's event thread then takes the mark down.
    ASSERT_EQ(hardware.sr_waitevt(kEventWait), 0);
    EXPECT_EQ(hardware.sr_getevttype(), CCEV_RESTART);
    EXPECT_EQ(hardware.sr_getevtdev(), line);
    CRN crn = -1;
    ASSERT_EQ(hardware.GetCRN(kLdev, &crn, hardware.sr_getevtdatap()), -1)
        << "still restarting: refused, and no call reference";
    EXPECT_EQ(crn, 0);
    ClearRestartMark(kLdev);
    ASSERT_EQ(hardware.GetCRN(kLdev, &crn, hardware.sr_getevtdatap()), 0);
    EXPECT_EQ(crn, 0);

    ASSERT_EQ(Control("dialout dtiB1T1 busy"), "OK");
    ASSERT_EQ(hardware.cc_MakeCall(kLdev, line, slot.get(), "1", &block, 30, EV_ASYNC), 0);
    ASSERT_EQ(hardware.sr_waitevt(kEventWait), 0);
    EXPECT_EQ(hardware.sr_getevttype(), CCEV_PROCEEDING);
}

TEST_F(FacadeRefusalsTest, GlobalCallRefusesEverythingUntilItHasStarted) {
    TestFacade hardware;
    ForgetLines();
    LINEDEV line = 0;
    EXPECT_EQ(hardware.gc_OpenEx(kLdev, &line, ":N_dtiB1T1:P_isdn", GC_ASYNC, nullptr), -1);
    METAEVENT meta{};
    EXPECT_EQ(hardware.gc_GetMetaEvent(&meta), -1);
    EXPECT_EQ(hardware.gc_Stop(), -1);
    const std::vector<LoggedLine> lines = NewLines();
    ASSERT_EQ(lines.size(), 3u);
    for (const LoggedLine& logged : lines)
        EXPECT_EQ(logged.text, "GLOBALCALL NOT initialised");
    EXPECT_EQ(lines[0].device, kLdev) << "refused on the line device's own line";
    EXPECT_EQ(lines[0].kind, 1);
    EXPECT_EQ(lines[1].device, 0);
    EXPECT_EQ(lines[1].kind, 0);
    EXPECT_EQ(Control("query calls gc_OpenEx"), "OK 0");

    // Until it starts, the composites take the native path.
    int32_t state = -1;
    EXPECT_EQ(hardware.GetDChanState(kLdev, 1, &state), -1) << "no such ISDN line device";
    EXPECT_EQ(Control("query calls cc_GetDChanState"), "OK 1");
    EXPECT_EQ(Control("query calls gc_GetLinedevState"), "OK 0");

    ASSERT_EQ(hardware.InitGlobalCall(4, nullptr), 1);
    EXPECT_EQ(hardware.gc_OpenEx(kLdev, &line, ":N_dtiB1T1:P_isdn", GC_SYNC, nullptr), 0);
    EXPECT_EQ(hardware.GetDChanState(kLdev, line, &state), 0);
    EXPECT_EQ(state, 1) << "the D channel is up";
    EXPECT_EQ(Control("query calls gc_GetLinedevState"), "OK 1");

    // Stopped again, it refuses again.
    EXPECT_EQ(hardware.gc_Stop(), 0);
    EXPECT_FALSE(hardware.IsGlobalCallInitialised());
    EXPECT_EQ(hardware.gc_Close(kLdev, line), -1);
}

}  // namespace
}  // namespace ruzd::telephony
