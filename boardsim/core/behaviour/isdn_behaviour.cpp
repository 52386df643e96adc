// The ISDN call-control functions (cc_ of libdtimt) on the call model. Only the asynchronous
// forms of waiting for and making a call are served, as the node uses them; the other
// requests complete at once without an event in their synchronous form.

#include <cstring>
#include <string>

#include "boardsim/core/behaviour/call_functions.h"
#include "boardsim/core/behaviours.h"
#include "boardsim/core/machine.h"

namespace ruzd::boardsim {
namespace {

// The D channel of every simulated span is up.
constexpr int32_t kDChannelUp = 1;

CallModel& Calls() {
    return Machine::Get().calls();
}

int32_t ForCall(CRN crn, CallFault fault) {
    return ReportForCall(Flavour::kIsdn, fault, crn);
}

int32_t ForLine(LINEDEV line, CallFault fault) {
    return Report(Flavour::kIsdn, fault, line);
}

// A span opened as a board-level line device: it has a D channel but carries no calls.
bool IsOpenSpan(LINEDEV line) {
    const std::optional<DeviceInfo> device = Machine::Get().devices().Find(line);
    return device && device->open && device->family == DeviceFamily::kLineDevice &&
           device->subdevices != 0;
}

int32_t CopyNumber(CRN crn, int32_t info_id, char* buffer) {
    return ForCall(crn, CallInformation(crn, info_id, buffer));
}

}  // namespace

int32_t Behaviour<tags::cc_WaitCall>::Run(LINEDEV linedev, CRN* crn, WAITCALL_BLK* /*waitcall*/,
                                          int32_t /*timeout*/, uint32_t mode) {
    if (!IsAsync(mode))
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, Calls().WaitCall(linedev, crn));
}

int32_t Behaviour<tags::cc_MakeCall>::Run(LINEDEV linedev, CRN* crn, const char* number,
                                          MAKECALL_BLK* /*makecall*/, int32_t /*timeout*/,
                                          uint32_t mode) {
    if (!IsAsync(mode))
        return ForLine(linedev, CallFault::kBadParameter);
    return ForLine(linedev, Calls().MakeCall(linedev, crn, number));
}

int32_t Behaviour<tags::cc_AcceptCall>::Run(CRN crn, int32_t /*rings*/, uint32_t mode) {
    return ForCall(crn, Calls().Accept(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_AnswerCall>::Run(CRN crn, int32_t /*rings*/, uint32_t mode) {
    return ForCall(crn, Calls().Answer(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_DropCall>::Run(CRN crn, int32_t cause, uint32_t mode) {
    return ForCall(crn, Calls().Drop(crn, cause, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_ReleaseCall>::Run(CRN crn) {
    return ForCall(crn, Calls().Release(crn, false));
}

int32_t Behaviour<tags::cc_ReleaseCallEx>::Run(CRN crn, uint32_t mode) {
    return ForCall(crn, Calls().Release(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_HoldCall>::Run(CRN crn, uint32_t mode) {
    return ForCall(crn, Calls().Hold(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_RetrieveCall>::Run(CRN crn, uint32_t mode) {
    return ForCall(crn, Calls().Retrieve(crn, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_Restart>::Run(LINEDEV linedev, uint32_t mode) {
    return ForLine(linedev, Calls().Restart(linedev, IsAsync(mode)));
}

int32_t Behaviour<tags::cc_SetChanState>::Run(LINEDEV linedev, int32_t state, int32_t mode) {
    return ForLine(linedev,
                   Calls().SetChannelState(linedev, state, IsAsync(static_cast<uint32_t>(mode))));
}

int32_t Behaviour<tags::cc_GetBChanState>::Run(LINEDEV linedev, int32_t* state) {
    return ForLine(linedev, Calls().ChannelState(linedev, state));
}

int32_t Behaviour<tags::cc_GetDChanState>::Run(LINEDEV linedev, int32_t* state) {
    if (state == nullptr)
        return ForLine(linedev, CallFault::kBadParameter);
    if (IsOpenSpan(linedev)) {
        *state = kDChannelUp;
        return 0;
    }
    int32_t b_channel = 0;
    const CallFault fault = Calls().ChannelState(linedev, &b_channel);
    if (fault == CallFault::kNone)
        *state = kDChannelUp;
    return ForLine(linedev, fault);
}

int32_t Behaviour<tags::cc_GetCRN>::Run(CRN* crn, void* evtdata) {
    const std::optional<CallEventData> data = CallEventOf(evtdata);
    if (crn == nullptr || !data)
        return ForLine(0, CallFault::kBadParameter);
    *crn = data->crn;
    return 0;
}

int32_t Behaviour<tags::cc_ResultValue>::Run(void* evtdata) {
    const std::optional<CallEventData> data = CallEventOf(evtdata);
    return data ? data->result : -1;
}

int32_t Behaviour<tags::cc_ResultMsg>::Run(LINEDEV /*linedev*/, int32_t result_code, char** msg) {
    if (msg == nullptr)
        return -1;
    *msg = const_cast<char*>(CauseText(result_code));
    return 0;
}

int32_t Behaviour<tags::cc_GetSigInfo>::Run(char* buffer, int32_t info_id, void* evtdata) {
    return ForLine(0, SignallingInformation(buffer, info_id, evtdata));
}

int32_t Behaviour<tags::cc_GetCallInfo>::Run(CRN crn, int32_t info_id, char* buffer) {
    return ForCall(crn, CallInformation(crn, info_id, buffer));
}

int32_t Behaviour<tags::cc_GetDNIS>::Run(CRN crn, char* dnis) {
    return CopyNumber(crn, CALLINFO_DESTINATION_ADDRESS, dnis);
}

int32_t Behaviour<tags::cc_GetANI>::Run(CRN crn, char* ani) {
    return CopyNumber(crn, CALLINFO_ORIGINATION_ADDRESS, ani);
}

int32_t Behaviour<tags::cc_CallState>::Run(CRN crn, int32_t* state) {
    return ForCall(crn, CallStateOf(crn, state));
}

int32_t Behaviour<tags::cc_CRN2LineDev>::Run(CRN crn, LINEDEV* linedev) {
    return ForCall(crn, LineOfCall(crn, linedev));
}

int32_t Behaviour<tags::cc_GetInfoElem>::Run(LINEDEV linedev, IE_BLK* ie) {
    return ForLine(linedev, ReceivedInformationElements(linedev, ie));
}

int32_t Behaviour<tags::cc_SetInfoElem>::Run(LINEDEV linedev, IE_BLK* ie) {
    return ForLine(linedev, SendInformationElements(linedev, ie));
}

}  // namespace ruzd::boardsim
