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

#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

// Waits for calls: the library writes each offered call's reference into the line device's
// call-reference entry (none for a line device without one; the reference still comes with the
// offered event).
void CVesmarinManager::SocketCmdCCWCAL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Enter() || !FindIsdnLine(args, ldev, "cc_WaitCall", &handle)) {
        return;
    }
    CRN* slot = call_refs_.GetCallRefSlot(ldev, kPortTypeNetwork);
    const int32_t result = hardware_->cc_WaitCall(ldev, handle, slot, nullptr, -1, kAsyncMode);
    args.TraceLine(Format("cc_WaitCall ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::RunAcceptOrAnswer(net::CClientStreamSocket* command, const char* call,
                                         bool answer) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t rings = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Long(crn).Int(rings).UInt(mode).Enter() ||
        !FindIsdnLine(args, ldev, call, &handle)) {
        return;
    }
    const std::optional<CRN> callCrn = IsdnCallOf(ldev, crn);
    if (!callCrn) {
        return;
    }
    const int32_t result = answer ? hardware_->cc_AnswerCall(ldev, *callCrn, rings, kAsyncMode)
                                  : hardware_->cc_AcceptCall(ldev, *callCrn, rings, kAsyncMode);
    args.TraceLine(Format("%s ldev=%d crn=%d rings=%d mode=%u RET=%d", call, handle, *callCrn,
                          rings, mode, result));
}

void CVesmarinManager::SocketCmdCCACCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "cc_AcceptCall", false);
}

void CVesmarinManager::SocketCmdCCANCA(net::CClientStreamSocket* command) {
    RunAcceptOrAnswer(command, "cc_AnswerCall", true);
}

// Drops a call with the mode the central server chose, and logs the line device's last error
// text with the result.
void CVesmarinManager::SocketCmdCCDRCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t cause = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Long(crn).Int(cause).UInt(mode).Enter() ||
        !FindIsdnLine(args, ldev, "cc_DropCall", &handle)) {
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_DropCall(ldev, *call, cause, mode);
    const std::string error = hardware_->ATDV_ERRMSGP(handle);
    args.TraceLine(Format("cc_DropCall ldev=%d crn=%d cause=%d mode=%u RET=%d - %s", handle, *call,
                          cause, mode, result, error.c_str()));
}

// Makes a call. The library writes the new call's reference into the line device's entry
// later; a call made is then the line device's current call.
void CVesmarinManager::SocketCmdCCMKCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN unusedCrn = 0;
    std::string number;
    int32_t timeout = 0;
    args.ShownLine(ldev).Long(unusedCrn);
    args.Stream().ReadString(number);
    // A number the library's buffer cannot hold is dropped whole rather than cut.
    std::string narrowNumber = platform::Utf8ToCp1252(number);
    if (narrowNumber.size() > kMaxPhoneNumberLength) {
        narrowNumber.clear();
        number.clear();
    }
    MAKECALL_BLK block{};
    const bool blockFits =
        args.Show(number).Int(timeout).Bytes(block.mc_block, sizeof block.mc_block);
    if (!args.Enter()) {
        return;
    }
    if (!blockFits) {
        args.TraceLine("Invalid MAKECALL_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_MakeCall", &handle)) {
        return;
    }
    CRN* slot = call_refs_.GetCallRefSlot(ldev, kPortTypeNetwork);
    // Without an entry the library would have nowhere to put the call's reference: no call.
    const int32_t result = slot == nullptr
                               ? -1
                               : hardware_->cc_MakeCall(ldev, handle, slot, narrowNumber.c_str(),
                                                        &block, timeout, kAsyncMode);
    args.TraceLine(Format("cc_MakeCall ldev=%d crn=lCRN phonenum=%s timeout=%d RC=%d", handle,
                          number.c_str(), timeout, result));
    if (result == 0) {
        SetCallRefValid(ldev, kPortTypeNetwork, true);
        ReportIsdnPortStatus(ldev, "Busy");
    }
}

void CVesmarinManager::SocketCmdCCRLCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    if (!args.ShownLine(ldev).Long(crn).Enter()) {
        return;
    }

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_ReleaseCallEx(ldev, *call, kAsyncMode);
    args.TraceLine(Format("cc_ReleaseCallEx crn=%d RC=%d", *call, result));
}

void CVesmarinManager::SocketCmdCCCAPR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t indicator = 0;
    int8_t fromScenario = 0;
    if (!args.ShownLine(ldev).Long(crn).Int(indicator).Char(fromScenario).Enter()) {
        return;
    }

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_CallProgress(ldev, *call, indicator, fromScenario);
    args.TraceLine(Format("cc_CallProgress crn=%d ind=%d fromscen=%d RC=%d", *call, indicator,
                          int32_t{fromScenario}, result));
}

// Acknowledges the line device's current call, whatever crn the central server sent.
void CVesmarinManager::SocketCmdCCCAAC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageId = 0;
    if (!args.ShownLine(ldev).Long(crn).Int(messageId).Enter()) {
        return;
    }

    CRN current = 0;
    if (!call_refs_.GetCallRef(ldev, kPortTypeNetwork, &current)) {
        return;
    }
    const int32_t result = hardware_->cc_CallAck(ldev, current, messageId);
    args.TraceLine(Format("cc_CallAck crn=%d msgid=%d RC=%d", current, messageId, result));
}

// Collects more digits of the current call; only the asynchronous form is served.
void CVesmarinManager::SocketCmdCCGMDI(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t count = 0;
    int32_t timeout = 0;
    uint32_t mode = 0;
    if (!args.ShownLine(ldev).Long(crn).Int(count).Long(timeout).UInt(mode).Enter()) {
        return;
    }

    if (mode != kAsyncMode) {
        args.TraceLine("Not implemented for EV_SYNC!");
        return;
    }
    if (!IsWireCount(count)) {
        args.TraceLine("Invalid digit count!");
        return;
    }
    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_GetMoreDigits(ldev, *call, count, timeout, mode);
    args.TraceLine(Format("cc_GetMoreDigits crn=%d NumDig=%d Timeout=%d crn=RET=%d", *call, count,
                          timeout, result));
}

// Sends a call-control message with information elements; a block of the wrong size, or one
// whose length runs past its end, is sent empty.
void CVesmarinManager::SocketCmdCCSMSG(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageType = 0;
    IE_BLK block{};
    const bool blockFits = args.Line(ldev)
                               .Show(ldev)
                               .Long(crn)
                               .Int(messageType)
                               .Bytes(reinterpret_cast<uint8_t*>(&block), sizeof block);
    if (!args.Enter()) {
        return;
    }
    if (!blockFits || !HasValidLength(block)) {
        block = IE_BLK{};
    }

    const std::optional<CRN> call = IsdnCallOf(ldev, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->cc_SndMsg(ldev, *call, messageType, &block);
    args.TraceLine(Format("cc_SndMsg crn=%d msg_type=%d RET=%d", *call, messageType, result));
}

}  // namespace ruzd::node
