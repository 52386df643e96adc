// Global Call's call functions on the call model. Every one of them needs Global Call
// started. Only the asynchronous forms of waiting for and making a call are served, as the
// node uses them.

#include <cstring>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviour/globalcall_line_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/globalcall_library.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// The D channel of every simulated span is up.
constexpr int32_t kDChannelUp = 1;

CallModel& Calls() {
    return Machine::Get().calls();
}

bool Started() {
    return Machine::Get().globalcall().started();
}

int32_t NotStarted() {
    return Report(Flavour::kGlobalCall, CallFault::kNotStarted, 0);
}

int32_t ForCall(CRN crn, CallFault fault) {
    return ReportForCall(Flavour::kGlobalCall, fault, crn);
}

int32_t ForLine(LINEDEV line, CallFault fault) {
    return Report(Flavour::kGlobalCall, fault, line);
}

const void* EventDataOf(const METAEVENT* metaevent) {
    return metaevent != nullptr ? metaevent->evtdatap : nullptr;
}

}  // namespace

int32_t Behaviour<tags::gc_WaitCall>::Run(LINEDEV linedev, CRN* crn, GC_WAITCALL_BLK* /*waitcall*/,
                                          int32_t /*timeout*/, uint32_t mode) {
    if (!Started())
        return NotStarted();
    if (!IsAsync(mode))
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, Calls().WaitCall(linedev, crn));
}

int32_t Behaviour<tags::gc_MakeCall>::Run(LINEDEV linedev, CRN* crn, const char* number,
                                          GC_MAKECALL_BLK* makecall, int32_t /*timeout*/,
                                          uint32_t mode) {
    if (!Started())
        return NotStarted();
    if (!IsAsync(mode))
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, Calls().MakeCall(linedev, crn, number != nullptr ? number : "",
                                             ReadOutgoingBlocks(makecall)));
}

int32_t Behaviour<tags::gc_AcceptCall>::Run(CRN crn, int32_t /*rings*/, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Accept(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_AnswerCall>::Run(CRN crn, int32_t /*rings*/, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Answer(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_DropCall>::Run(CRN crn, int32_t cause, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Drop(crn, cause, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_ReleaseCall>::Run(CRN crn) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Release(crn, false));
}

int32_t Behaviour<tags::gc_ReleaseCallEx>::Run(CRN crn, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Release(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_HoldCall>::Run(CRN crn, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Hold(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_RetrieveCall>::Run(CRN crn, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, Calls().Retrieve(crn, IsAsync(mode)));
}

// Resetting a line device ends its calls and its wait, as an ISDN restart does, and
// completes with the same RESTART event.
int32_t Behaviour<tags::gc_ResetLineDev>::Run(LINEDEV linedev, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForLine(linedev, Calls().Restart(linedev, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_SetChanState>::Run(LINEDEV linedev, int32_t state, uint32_t mode) {
    if (!Started())
        return NotStarted();
    return ForLine(linedev, Calls().SetChannelState(linedev, state, IsAsync(mode)));
}

int32_t Behaviour<tags::gc_GetLinedevState>::Run(LINEDEV linedev, int32_t type, int32_t* state) {
    if (!Started())
        return NotStarted();
    if (state == nullptr || (type != GCGLS_BCHANNEL && type != GCGLS_DCHANNEL))
        return ForLine(linedev, CallFault::kBadParameter);
    int32_t b_channel = 0;
    const CallFault fault = Calls().ChannelState(linedev, &b_channel);
    if (fault == CallFault::kNone)
        *state = type == GCGLS_BCHANNEL ? b_channel : kDChannelUp;
    return ForLine(linedev, fault);
}

int32_t Behaviour<tags::gc_GetCRN>::Run(CRN* crn, METAEVENT* metaevent) {
    if (!Started())
        return NotStarted();
    if (crn == nullptr || metaevent == nullptr)
        return ForLine(0, CallFault::kBadParameter);
    *crn = metaevent->crn;
    return 0;
}

int32_t Behaviour<tags::gc_ResultValue>::Run(METAEVENT* metaevent, int32_t* gc_result,
                                             int32_t* cclib_id, int32_t* cclib_result) {
    if (!Started())
        return NotStarted();
    const std::optional<CallEventData> data = CallEventOf(EventDataOf(metaevent));
    if (!data || gc_result == nullptr || cclib_id == nullptr || cclib_result == nullptr)
        return ForLine(0, CallFault::kBadParameter);
    *gc_result = data->result;
    *cclib_id = metaevent->cclibid;
    *cclib_result = data->result;
    return 0;
}

int32_t Behaviour<tags::gc_ResultInfo>::Run(METAEVENT* metaevent, GC_INFO* info) {
    if (!Started())
        return NotStarted();
    const std::optional<CallEventData> data = CallEventOf(EventDataOf(metaevent));
    if (!data || info == nullptr)
        return ForLine(0, CallFault::kBadParameter);
    info->gcValue = data->result;
    info->gcMsg = CauseText(data->result);
    info->ccLibId = metaevent->cclibid;
    info->ccLibName = GlobalCallLibrary::LibraryName(metaevent->cclibid);
    info->ccValue = data->result;
    info->ccMsg = CauseText(data->result);
    info->additionalInfo = "";
    return 0;
}

int32_t Behaviour<tags::gc_GetSigInfo>::Run(LINEDEV linedev, char* value, int32_t info_id,
                                            METAEVENT* metaevent) {
    if (!Started())
        return NotStarted();
    return ForLine(linedev, SignallingInformation(value, info_id, EventDataOf(metaevent)));
}

int32_t Behaviour<tags::gc_GetCallInfo>::Run(CRN crn, int32_t info_id, char* value) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, CallInformation(crn, info_id, value));
}

int32_t Behaviour<tags::gc_GetDNIS>::Run(CRN crn, char* dnis) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, CallInformation(crn, CALLINFO_DESTINATION_ADDRESS, dnis));
}

int32_t Behaviour<tags::gc_GetANI>::Run(CRN crn, char* ani) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, CallInformation(crn, CALLINFO_ORIGINATION_ADDRESS, ani));
}

int32_t Behaviour<tags::gc_GetCallState>::Run(CRN crn, int32_t* state) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, CallStateOf(crn, state));
}

int32_t Behaviour<tags::gc_CRN2LineDev>::Run(CRN crn, LINEDEV* linedev) {
    if (!Started())
        return NotStarted();
    return ForCall(crn, LineOfCall(crn, linedev));
}

// Only the call-control library's part of an information-element pair is served.
int32_t Behaviour<tags::gc_GetInfoElem>::Run(LINEDEV linedev, GC_IE_BLK* ie) {
    if (!Started())
        return NotStarted();
    if (ie == nullptr || ie->cclib == nullptr)
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, ReceivedInformationElements(linedev, ie->cclib));
}

int32_t Behaviour<tags::gc_SetInfoElem>::Run(LINEDEV linedev, GC_IE_BLK* ie) {
    if (!Started())
        return NotStarted();
    if (ie == nullptr || ie->cclib == nullptr)
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, SendInformationElements(linedev, ie->cclib));
}

int32_t Behaviour<tags::gc_SetCallingNum>::Run(LINEDEV linedev, const char* number) {
    if (!Started())
        return NotStarted();
    if (number == nullptr)
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, Calls().SetCallingNumber(linedev, number));
}

}  // namespace ruzd::boardsim
