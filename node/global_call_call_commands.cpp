// The central server's Global Call commands on calls: wait for, make, accept, answer,
// acknowledge, drop and release calls, report progress and send call-control messages. A crn
// of 0 to 499 stands for the line device's current call, kept in the call-reference table of
// the command's device type.

#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "node/global_call_values.h"
#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// A block a command may leave out: its length, then, unless 0, exactly that many bytes. False
// for any other length or a block that did not read well; `present` tells whether it came.
bool ReadOptionalBlock(CommandArguments& args, int32_t size, uint8_t* buffer, bool* present) {
    int32_t length = 0;
    if (!args.Stream().ReadInt(length).IsOk()) {
        return false;
    }
    *present = length != 0;
    return length == 0 || (length == size && args.Bytes(buffer, size));
}

// The CRN the library wrote into an entry, read as the library writes it.
CRN ReadSlot(CRN* slot) {
    return slot == nullptr ? 0 : std::atomic_ref<CRN>(*slot).load(std::memory_order_acquire);
}

}  // namespace

// Waits for calls; Global Call hands each offered call's reference over with its event.
void CVesmarinManager::SocketCmdGCWCAL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!EnterOnTypedLine(args, type, ldev, "gc_WaitCall", &handle)) {
        return;
    }
    const int32_t result = hardware_->gc_WaitCall(ldev, handle, nullptr, nullptr, -1, kAsyncMode);
    args.TraceLine(Format("gc_WaitCall ldev=%d RET=%d", handle, result));
}

// Makes a call with Global Call's own block (and the extension data it points to) and the
// call-control library's block, each when the command brings it.
void CVesmarinManager::SocketCmdGCMKCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN unusedCrn = 0;
    std::string number;
    int32_t timeout = 0;
    TypedLine(args, type, ldev).Long(unusedCrn);
    args.Stream().ReadString(number);
    // A number the library's buffer cannot hold is dropped whole rather than cut.
    if (platform::Utf8ToCp1252(number).size() > kMaxPhoneNumberLength) {
        number.clear();
    }
    if (!args.Show(number).Int(timeout).Enter()) {
        return;
    }

    GCLIB_MAKECALL_BLK gclib{};
    bool hasGclib = false;
    std::vector<uint8_t> extension;
    if (!ReadOptionalBlock(args, kGclibMakeCallSize, gclib.block, &hasGclib)) {
        args.TraceLine("Invalid GCLIB_MAKECALL_BLK!");
        return;
    }
    if (hasGclib) {
        int32_t count = 0;
        args.Stream().ReadInt(count);
        // A count the wire cannot mean is refused before anything is allocated.
        if (!args.Stream().IsOk() || !IsWireCount(count)) {
            args.TraceLine("Invalid GCLIB_MAKECALL_BLK!");
            return;
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(count));
        if (count != 0 && !args.Bytes(bytes.data(), count)) {
            args.TraceLine("Invalid GCLIB_MAKECALL_BLK!");
            return;
        }
        extension = ParameterBlock(bytes, kFilledBlockTail, kFilledBlockByte);
        gclib.ext_datap = extension.empty() ? nullptr : extension.data();
    }
    MAKECALL_BLK makecall{};
    bool hasMakecall = false;
    if (!ReadOptionalBlock(args, sizeof makecall.mc_block, makecall.mc_block, &hasMakecall)) {
        args.TraceLine("Invalid MAKECALL_BLK!");
        return;
    }
    GC_MAKECALL_BLK blocks{hasGclib ? &gclib : nullptr, hasMakecall ? &makecall : nullptr};
    MakeGlobalCall(args, type, ldev, number, timeout, &blocks);
}

void CVesmarinManager::MakeGlobalCall(CommandArguments& args, int32_t type, int32_t ldev,
                                      const std::string& number, int32_t timeout,
                                      GC_MAKECALL_BLK* blocks) {
    int32_t handle = -1;
    if (!FindTypedLine(args, ldev, type, "gc_MakeCall", &handle)) {
        return;
    }
    std::string destination;
    if (blocks->gclib != nullptr) {
        const auto* text = reinterpret_cast<const char*>(blocks->gclib->block);
        destination =
            platform::Cp1252ToUtf8(std::string_view(text, ::strnlen(text, GCLIB_DESTINATION_SIZE)));
    }
    call_refs_.SetCallRef(ldev, type, 0, false);
    CRN* slot = call_refs_.GetCallRefSlot(ldev, type);
    // Without an entry the library would have nowhere to put the call's reference: no call,
    // and the channel is released as after a failed one.
    const int32_t result =
        slot == nullptr
            ? -1
            : hardware_->gc_MakeCall(ldev, handle, slot, platform::Utf8ToCp1252(number).c_str(),
                                     blocks, timeout, kAsyncMode);
    args.TraceLine(Format("gc_MakeCall ldev=%d crn=%d phonenum=%s gcphonenum=%s timeout=%d RC=%d",
                          handle, ReadSlot(slot), number.c_str(), destination.c_str(), timeout,
                          result));
    if (result == 0) {
        SetCallRefValid(ldev, type, true);
        ReportPortStatus(type, ldev, "Busy");
        return;
    }
    if (slot != nullptr) {
        GC_INFO info{};
        hardware_->gc_ErrorInfo(&info);
        messages_.ChannelText(listener_.get(), ldev, GlobalCallErrorText("gc_MakeCall", info));
    }
    args.TraceLine("gc_MakeCall failed: Generate Task Fail event to release the channel");
    if (listener_) {
        messages_.DeviceEvent(*listener_, {ldev, type, handle, kTaskFailEvent, ReadSlot(slot)});
    }
}

void CVesmarinManager::SocketCmdGCRLCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    if (!TypedLine(args, type, ldev).Long(crn).Enter()) {
        return;
    }
    const std::optional<CRN> call = TypedCallOf(ldev, type, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->gc_ReleaseCallEx(ldev, *call, kAsyncMode);
    args.TraceLine(Format("gc_ReleaseCallEx crn=%d RC=%d", *call, result));
}

void CVesmarinManager::RunGlobalCallAcceptOrAnswer(net::CClientStreamSocket* command,
                                                   const char* call, bool answer) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t rings = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).Long(crn).Int(rings).UInt(mode).Enter() ||
        !FindTypedLine(args, ldev, type, call, &handle)) {
        return;
    }
    const std::optional<CRN> callCrn = TypedCallOf(ldev, type, crn);
    if (!callCrn) {
        return;
    }
    const int32_t result = answer ? hardware_->gc_AnswerCall(ldev, *callCrn, rings, kAsyncMode)
                                  : hardware_->gc_AcceptCall(ldev, *callCrn, rings, kAsyncMode);
    args.TraceLine(Format("%s ldev=%d crn=%d rings=%d mode=%u RET=%d", call, handle, *callCrn,
                          rings, mode, result));
}

void CVesmarinManager::SocketCmdGCACCA(net::CClientStreamSocket* command) {
    RunGlobalCallAcceptOrAnswer(command, "gc_AcceptCall", false);
}

void CVesmarinManager::SocketCmdGCANCA(net::CClientStreamSocket* command) {
    RunGlobalCallAcceptOrAnswer(command, "gc_AnswerCall", true);
}

// Acknowledges the line device's current call, whatever crn the central server sent.
void CVesmarinManager::SocketCmdGCCAAC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t length = 0;
    GC_CALLACK_BLK block{};
    TypedLine(args, type, ldev).Long(crn).Int(length);
    const bool fits =
        length != kCallAckSize || args.Bytes(reinterpret_cast<uint8_t*>(&block), sizeof block);
    if (!args.Enter()) {
        return;
    }
    if (length != kCallAckSize || !fits) {
        args.TraceLine("gc_CallAck incompatible GC_CALLACK_BLK");
        return;
    }
    CRN current = 0;
    if (!call_refs_.GetCallRef(ldev, type, &current)) {
        args.TraceLine("gc_CallAck crn not found");
        return;
    }
    const int32_t result = hardware_->gc_CallAck(ldev, current, &block, kAsyncMode);
    args.TraceLine(Format("gc_CallAck crn=%d type=%u RC=%d", current, block.type, result));
}

// Drops a call with the mode the central server chose, and logs the line device's last error
// text with the result.
void CVesmarinManager::SocketCmdGCDRCA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t cause = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).Long(crn).Int(cause).UInt(mode).Enter() ||
        !FindTypedLine(args, ldev, type, "gc_DropCall", &handle)) {
        return;
    }
    const std::optional<CRN> call = TypedCallOf(ldev, type, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->gc_DropCall(ldev, *call, cause, mode);
    const std::string error = hardware_->ATDV_ERRMSGP(handle);
    args.TraceLine(Format("gc_DropCall ldev=%d crn=%d cause=%d mode=%u RET=%d - %s", handle, *call,
                          cause, mode, result, error.c_str()));
}

void CVesmarinManager::SocketCmdGCCAPR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t indicator = 0;
    if (!TypedLine(args, type, ldev).Long(crn).Int(indicator).Enter()) {
        return;
    }
    const std::optional<CRN> call = TypedCallOf(ldev, type, crn);
    if (!call) {
        return;
    }
    const int32_t result = hardware_->gc_CallProgress(ldev, *call, indicator);
    args.TraceLine(Format("gc_CallProgress crn=%d ind=%d RC=%d", *call, indicator, result));
}

// Sends a call-control message with Global Call's and the call-control library's information
// elements, each when the command brings it.
void CVesmarinManager::SocketCmdGCSMSG(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    CRN crn = 0;
    int32_t messageType = 0;
    if (!TypedLine(args, type, ldev).Long(crn).Int(messageType).Enter()) {
        return;
    }
    GCLIB_IE_BLK gclib{};
    bool hasGclib = false;
    if (!ReadOptionalBlock(args, kGclibIeSize, gclib.block, &hasGclib)) {
        args.TraceLine("Invalid GC_IE_BLK!");
        return;
    }
    IE_BLK elements{};
    bool hasElements = false;
    if (!ReadOptionalBlock(args, sizeof elements, reinterpret_cast<uint8_t*>(&elements),
                           &hasElements) ||
        !HasValidLength(elements)) {
        args.TraceLine("Invalid IE_BLK!");
        return;
    }
    const std::optional<CRN> call = TypedCallOf(ldev, type, crn);
    int32_t handle = -1;
    if (!call || !FindTypedLine(args, ldev, type, "gc_SndMsg", &handle)) {
        return;
    }
    GC_IE_BLK pair{hasGclib ? &gclib : nullptr, hasElements ? &elements : nullptr};
    const int32_t result = hardware_->gc_SndMsg(ldev, handle, *call, messageType, &pair);
    args.TraceLine(Format("gc_SndMsg crn=%d msg_type=%d RET=%d", *call, messageType, result));
}

}  // namespace ruzd::node
