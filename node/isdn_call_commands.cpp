// The central server's ISDN call-control commands on calls: wait for, accept, answer, make,
// drop and release calls, report progress, acknowledge, collect more digits and send messages.
// A crn of 0 to 499 stands for the line device's current call.
//
// The library writes the call reference of a waited-for or made call into the line device's
// entry of the call-reference table from its own thread, after the function has returned; the
// entries never move, so the address handed over stays good for as long as the library may
// use it.

#include <optional>
#include <string>

#include "foundation/debug_function.h"
#include "node/isdn_call_values.h"
#include "node/trace_line.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::CDebugFunction;
using foundation::kDebugChannelDti;
using platform::Format;

// Waits for calls: the library writes each offered call's reference into the line device's
// call-reference entry (none for a line device without one; the reference still comes with the
// offered event).
void CVesmarinManager::SocketCmdCCWCAL(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCWCAL", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_WaitCall", &handle)) {
        return;
    }
    CRN* slot = GetCallRefSlot(ldev, kPortTypeNetwork);
    const int32_t result = hardware_->cc_WaitCall(ldev, handle, slot, nullptr, -1, kAsyncMode);
    TraceLine(trace, Format("cc_WaitCall ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::RunAcceptOrAnswer(net::CClientStreamSocket* command, const char* word,
                                         const char* call, bool answer) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t rings = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(rings).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter(std::string("SocketCmd") + word, currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(rings)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, call, &handle)) {
        return;
    }
    const std::optional<CRN> callCrn = IsdnCallOf(ldev, crn);
    if (!callCrn) {
        return;
    }
    const int32_t result = answer ? hardware_->cc_AnswerCall(ldev, *callCrn, rings, kAsyncMode)
                                  : hardware_->cc_AcceptCall(ldev, *callCrn, rings, kAsyncMode);
    TraceLine(trace, Format("%s ldev=%d crn=%d rings=%d mode=%u RET=%d", call, handle, *callCrn,
                            rings, mode, result));
}

void CVesmarinManager::SocketCmdCCACCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "CCACCA", "cc_AcceptCall", false);
}

void CVesmarinManager::SocketCmdCCANCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "CCANCA", "cc_AnswerCall", true);
}

// Drops a call with the mode the central server chose, and logs the line device's last error
// text with the result.
void CVesmarinManager::SocketCmdCCDRCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t cause = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(cause).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCDRCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(cause)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_DropCall", &handle)) {
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_DropCall(ldev, *call, cause, mode);
    const std::string error = hardware_->ATDV_ERRMSGP(handle);
    TraceLine(trace, Format("cc_DropCall ldev=%d crn=%d cause=%d mode=%u RET=%d - %s", handle,
                            *call, cause, mode, result, error.c_str()));
}

// Makes a call. The library writes the new call's reference into the line device's entry
// later; a call made is then the line device's current call.
void CVesmarinManager::SocketCmdCCMKCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN unusedCrn = 0;
    std::string number;
    int32_t timeout = 0;
    command->ReadInt(ldev).ReadLong(unusedCrn).ReadString(number).ReadInt(timeout);
    // A number the library's buffer cannot hold is dropped whole rather than cut.
    std::string narrowNumber = platform::Utf8ToCp1252(number);
    if (narrowNumber.size() > kMaxPhoneNumberLength) {
        narrowNumber.clear();
        number.clear();
    }
    CDebugFunction trace;
    trace.Enter("SocketCmdCCMKCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(unusedCrn)
        .Append(number)
        .Append(timeout)
        .EndLine();

    MAKECALL_BLK block{};
    if (!command->ReadBytes(block.mc_block, sizeof block.mc_block)) {
        TraceLine(trace, "Invalid MAKECALL_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_MakeCall", &handle)) {
        return;
    }
    CRN* slot = GetCallRefSlot(ldev, kPortTypeNetwork);
    // Without an entry the library would have nowhere to put the call's reference: no call.
    const int32_t result = slot == nullptr
                               ? -1
                               : hardware_->cc_MakeCall(ldev, handle, slot, narrowNumber.c_str(),
                                                        &block, timeout, kAsyncMode);
    TraceLine(trace, Format("cc_MakeCall ldev=%d crn=lCRN phonenum=%s timeout=%d RC=%d", handle,
                            number.c_str(), timeout, result));
    if (result == 0) {
        SetCallRefValid(ldev, kPortTypeNetwork, true);
        ReportIsdnPortStatus(ldev, "Busy");
    }
}

void CVesmarinManager::SocketCmdCCRLCA(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    command->ReadInt(ldev).ReadLong(crn);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCRLCA", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_ReleaseCallEx(ldev, *call, kAsyncMode);
    TraceLine(trace, Format("cc_ReleaseCallEx crn=%d RC=%d", *call, result));
}

void CVesmarinManager::SocketCmdCCCAPR(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t indicator = 0;
    int8_t fromScenario = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(indicator).ReadChar(fromScenario);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCAPR", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(indicator)
        .Append(int32_t{fromScenario})
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_CallProgress(ldev, *call, indicator, fromScenario);
    TraceLine(trace, Format("cc_CallProgress crn=%d ind=%d fromscen=%d RC=%d", *call, indicator,
                            int32_t{fromScenario}, result));
}

// Acknowledges the line device's current call, whatever crn the central server sent.
void CVesmarinManager::SocketCmdCCCAAC(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageId = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(messageId);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCAAC", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(messageId)
        .EndLine();

    CRN current = 0;
    if (!GetCallRef(ldev, kPortTypeNetwork, &current)) {
        return;
    }
    const int32_t result = hardware_->cc_CallAck(ldev, current, messageId);
    TraceLine(trace, Format("cc_CallAck crn=%d msgid=%d RC=%d", current, messageId, result));
}

// Collects more digits of the current call; only the asynchronous form is served.
void CVesmarinManager::SocketCmdCCGMDI(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t count = 0;
    int32_t timeout = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadLong(crn).ReadInt(count).ReadLong(timeout).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGMDI", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(count)
        .Append(timeout)
        .Append(Format("%u", mode))
        .EndLine();

    if (mode != kAsyncMode) {
        TraceLine(trace, "Not implemented for EV_SYNC!");
        return;
    }
    if (!IsWireCount(count)) {
        TraceLine(trace, "Invalid digit count!");
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_GetMoreDigits(ldev, *call, count, timeout, mode);
    TraceLine(trace, Format("cc_GetMoreDigits crn=%d NumDig=%d Timeout=%d crn=RET=%d", *call, count,
                            timeout, result));
}

// Sends a call-control message with information elements; a block of the wrong size, or one
// whose length runs past its end, is sent empty.
void CVesmarinManager::SocketCmdCCSMSG(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageType = 0;
    IE_BLK block{};
    command->ReadInt(ldev).ReadLong(crn).ReadInt(messageType);
    if (!command->ReadBytes(reinterpret_cast<uint8_t*>(&block), sizeof block) ||
        !HasValidLength(block)) {
        block = IE_BLK{};
    }
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSMSG", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(crn)
        .Append(messageType)
        .EndLine();

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_SndMsg(ldev, *call, messageType, &block);
    TraceLine(trace, Format("cc_SndMsg crn=%d msg_type=%d RET=%d", *call, messageType, result));
}

}  // namespace ruzd::node
