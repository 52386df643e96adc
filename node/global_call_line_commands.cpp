// The central server's Global Call commands on line devices: opening network lines, trunk boards
// and IP channels, closing them, their channel state, reset, event mask, D-channel
// configuration, information elements, line-device state and traces. Most commands name the
// device type before the line device: it picks the device table, the call-reference table and
// the log channel.

#include <cstring>
#include <mutex>
#include <string>

#include "node/global_call_values.h"
#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/intel_boards.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

namespace {

constexpr const char* kOpenedText = "Successfully Opened.";
constexpr const char* kNoIpChannelText = "Not enough Hardware or Intel Licenses for opening.";
constexpr const char* kOpenFailedStatus = "ERROR: COULD NOT OPEN THIS DEVICE (dialogic?\?\?)";

bool IsIpType(int32_t type) {
    return type == kPortTypeGlobalCallIp || type == kPortTypeIp;
}

}  // namespace

CommandArguments& CVesmarinManager::TypedLine(CommandArguments& args, int32_t& type,
                                              int32_t& ldev) {
    args.Int(type);
    return args.Channel(static_cast<foundation::EDebugChannelType>(PortTypeToLogChannel(type)))
        .ShownLine(ldev);
}

bool CVesmarinManager::FindTypedLine(CommandArguments& args, int32_t ldev, int32_t type,
                                     const char* call, int32_t* handle) {
    if (devices_.GetDeviceHandle(ldev, type, handle) && *handle != -1) {
        return true;
    }
    args.TraceLine(std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

bool CVesmarinManager::EnterOnTypedLine(CommandArguments& args, int32_t& type, int32_t& ldev,
                                        const char* call, int32_t* handle) {
    return TypedLine(args, type, ldev).Enter() && FindTypedLine(args, ldev, type, call, handle);
}

std::optional<CRN> CVesmarinManager::TypedCallOf(int32_t ldev, int32_t type, CRN received) {
    CRN current = 0;
    const bool kept = call_refs_.GetCallRef(ldev, type, &current);
    return ResolveCrn(received, kept ? std::optional<CRN>(current) : std::nullopt);
}

void CVesmarinManager::ReportPortStatus(int32_t type, int32_t ldev, const char* text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(type, ldev, text, 0);
    }
}

void CVesmarinManager::SocketCmdGCOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    if (!TypedLine(args, type, ldev).Enter()) {
        return;
    }
    if (type == kPortTypeGlobalCallIp) {
        OpenGlobalCallIp(args, ldev);
    } else {
        OpenGlobalCallNetwork(args, ldev);
    }
}

// An IP channel from the pool of IP boards: the ldev counts channels over every IP call-control
// board and, at the same time, over every IP media board.
void CVesmarinManager::OpenGlobalCallIp(CommandArguments& args, int32_t ldev) {
    if (!hardware_->HasIntelIPBoards(0)) {
        return;
    }
    telephony::CIntelBoards& boards = telephony::IntelBoards();
    int32_t iptBoard = 0;
    int32_t iptChannel = 0;
    int32_t ipmBoard = 0;
    int32_t ipmChannel = 0;
    if (!boards.FindChannel(telephony::CIntelBoard::kIPT, ldev, &iptBoard, &iptChannel) ||
        !boards.FindChannel(telephony::CIntelBoard::kIPM, ldev, &ipmBoard, &ipmChannel)) {
        args.TraceLine(kNoIpChannelText);
        return;
    }
    const std::string name = GlobalCallIpName(iptBoard, iptChannel, ipmBoard, ipmChannel);
    // The open completes with an event that the event thread may read before the open
    // returns: the handle table stays locked until the channel is recorded, so that the event
    // finds it. The IP table is recorded meanwhile, so it is taken first (the tables' lock
    // order, device_handle_tables.h).
    std::lock_guard ipLock(devices_.Ip().Lock());
    std::lock_guard handlesLock(devices_.HandleLdevs().Lock());
    LINEDEV handle = 0;
    const int32_t result = hardware_->gc_OpenEx(ldev, &handle, name, 0, nullptr);
    if (result == 0) {
        args.TraceLine(kOpenedText);
        ++open_channels_;
        ReportPortStatus(kPortTypeGlobalCallIp, ldev, "Idle");
        if (listener_) {
            messages_.GlobalCallOpenResult(*listener_, kPortTypeGlobalCallIp, ldev,
                                           boards.GetIPTBoardName(iptBoard));
        }
    } else {
        ReportPortStatus(kPortTypeGlobalCallIp, ldev, kOpenFailedStatus);
    }
    // A channel that did not open stays known with the handle -1, so that later commands on it
    // fail their lookup rather than reach whatever device the library might hand that value to.
    const bool opened = result == 0 && handle != -1;
    devices_.Ip().Set(ldev, opened ? handle : -1);
    if (opened) {
        devices_.HandleLdevs().Set(handle, ldev);
        devices_.PortTypes().Set(handle, kPortTypeGlobalCallIp);
    }
    args.TraceLine(Format("gc_Openex ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
}

// A network line or, from the board line devices on, a trunk board; always recorded as a
// network line, whatever type the command named.
void CVesmarinManager::OpenGlobalCallNetwork(CommandArguments& args, int32_t ldev) {
    if (!hardware_->IsGlobalCallInitialised()) {
        hardware_->InitGlobalCall(telephony::IntelBoards().GetIPCallCapacity(), nullptr);
    }
    const std::string name = GlobalCallTrunkName(ldev);
    LINEDEV handle = -1;
    if (ldev >= kBoardLineDeviceBase) {
        const int32_t result = hardware_->gc_Open(0, &handle, name.c_str(), 0);
        RegisterIsdnLine(ldev, result, handle);
        args.TraceLine(Format("gc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
        if (listener_) {
            const int32_t event = result == 0 ? kBoardOpenedGlobalCallEvent : kBoardOpenedEvent;
            messages_.DeviceEventWithWord(*listener_, {ldev, kPortTypeNetwork, handle, event, 0},
                                          kBoardOpenedWord);
        }
        return;
    }
    const int32_t result = hardware_->gc_Open(ldev, &handle, name.c_str(), 0);
    if (result != -1) {
        ++open_channels_;
        ReportPortStatus(kPortTypeNetwork, ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    args.TraceLine(Format("gc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
    GC_PARM value{};
    value.intvalue = kBChannelParameterValue;
    const int32_t parameterResult = hardware_->gc_SetParm(handle, kBChannelParameter, value);
    args.TraceLine(Format("gc_SetParm RET=%d", parameterResult));
}

void CVesmarinManager::SocketCmdGCCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    if (!TypedLine(args, type, ldev).Enter()) {
        return;
    }

    // Both tables stay locked from the lookup to the removal, always in this order.
    std::lock_guard networkLock(devices_.Network().Lock());
    std::lock_guard ipLock(devices_.Ip().Lock());
    int32_t handle = -1;
    if (!devices_.GetDeviceHandle(ldev, type, &handle) || handle == -1) {
        args.TraceLine("gc_Close dev=UNKNOWN RET=ERROR");
        return;
    }
    const int32_t result = hardware_->gc_Close(ldev, handle);
    if (result != -1) {
        if (ldev < kBoardLineDeviceBase || IsIpType(type)) {
            --open_channels_;
        }
        ReportPortStatus(type, ldev, "Closed");
    }
    args.TraceLine(Format("gc_Close ldev=%d RET=%d", handle, result));
    if (type == kPortTypeNetwork) {
        devices_.Network().Erase(ldev);
    } else if (IsIpType(type)) {
        devices_.Ip().Erase(ldev);
    }
    devices_.HandleLdevs().Erase(handle);
}

void CVesmarinManager::SocketCmdGCSCHS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t channelState = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).Int(channelState).UInt(mode).Enter() ||
        !FindTypedLine(args, ldev, type, "gc_SetChanState", &handle)) {
        return;
    }
    const int32_t result = hardware_->gc_SetChanState(ldev, handle, channelState, kAsyncMode);
    args.TraceLine(Format("gc_SetChanState ldev=%d chanstate=%d mode=%u RET=%d", handle,
                          channelState, mode, result));
}

// Resets a line device: its call is gone, whatever the library answers.
void CVesmarinManager::SocketCmdGCRESL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    uint32_t mode = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).UInt(mode).Enter() ||
        !FindTypedLine(args, ldev, type, "gc_ResetLineDev", &handle)) {
        return;
    }
    const int32_t result = hardware_->gc_ResetLineDev(ldev, handle, mode);
    args.TraceLine(Format("gc_ResetLineDev ldev=%d mode=%u RET=%d", handle, mode, result));
    call_refs_.SetCallRef(ldev, type, 0, false);
    if (result != 0) {
        GC_INFO info{};
        hardware_->gc_ErrorInfo(&info);
        args.TraceLine(GlobalCallErrorLine("gc_ResetLineDev", info));
    }
}

void CVesmarinManager::SocketCmdGCSEVM(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    uint32_t mask = 0;
    int32_t action = 0;
    int32_t handle = -1;
    if (!TypedLine(args, type, ldev).UInt(mask).Int(action).Enter() ||
        !FindTypedLine(args, ldev, type, "gc_SetEvtMsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->gc_SetEvtMsk(ldev, handle, mask, action);
    args.TraceLine(
        Format("gc_SetEvtMsk ldev=%d mask=%u action=%d RET=%d", handle, mask, action, result));
}

// Answers with the line device's state (message 32), -1 when it could not be read or the line
// device is unknown.
void CVesmarinManager::SocketCmdGCGLDS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t infoType = 0;
    if (!TypedLine(args, type, ldev).Int(infoType).Enter()) {
        return;
    }
    int32_t state = -1;
    int32_t handle = -1;
    if (devices_.GetDeviceHandle(ldev, type, &handle) && handle != -1 &&
        hardware_->gc_GetLinedevState(handle, infoType, &state) != 0) {
        state = -1;
    }
    messages_.LineDeviceState(*command, ldev, infoType, state);
}

// Answers with the line device's information elements as hex text (message 11); an unknown
// line device gets an empty text and -1.
void CVesmarinManager::SocketCmdGCGINF(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    if (!TypedLine(args, type, ldev).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!FindTypedLine(args, ldev, type, "gc_GetInfoElem", &handle)) {
        messages_.InfoElementText(*command, "", -1);
        return;
    }
    IE_BLK block{};
    GC_IE_BLK pair{nullptr, &block};
    const int32_t result = hardware_->gc_GetInfoElem(ldev, handle, &pair);
    const std::string text = InfoElementHex(block);
    args.TraceLine(Format("gc_GetInfoElement str=%s RC=%d", text.c_str(), result));
    messages_.InfoElementText(*command, text, result);
}

void CVesmarinManager::SocketCmdGCSTAT(net::CClientStreamSocket* command) {
    RunStartTrace(command, "gc_StartTrace", [this](int32_t handle, const char* file) {
        return hardware_->gc_StartTrace(handle, file);
    });
}

void CVesmarinManager::SocketCmdGCSTOT(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "gc_StopTrace",
                  [this](int32_t, int32_t handle) { return hardware_->gc_StopTrace(handle); });
}

// The D channel's configuration; the block is read only once the line device is known.
void CVesmarinManager::SocketCmdGCSDCC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!EnterOnTypedLine(args, type, ldev, "gc_SetDChanCfg", &handle)) {
        return;
    }
    DCHAN_CFG config{};
    if (!args.Bytes(config.dc_block, sizeof config.dc_block)) {
        return;
    }
    const int32_t result = hardware_->gc_SetDChanCfg(handle, &config);
    args.TraceLine(Format("gc_SetDChanCfg ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::SocketCmdGCSIEL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t type = 0;
    int32_t ldev = 0;
    int32_t length = 0;
    if (!TypedLine(args, type, ldev).Int(length).Enter()) {
        return;
    }
    IE_BLK block{};
    GC_IE_BLK pair{nullptr, nullptr};
    if (length == sizeof block) {
        // A block whose length runs past its end would have the library read beyond it.
        if (!args.Bytes(reinterpret_cast<uint8_t*>(&block), sizeof block) ||
            !HasValidLength(block)) {
            args.TraceLine("Invalid IE_BLK!");
            return;
        }
        pair.cclib = &block;
    } else if (length != 0) {
        args.TraceLine("Invalid IE_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindTypedLine(args, ldev, type, "gc_SetInfoElem", &handle)) {
        return;
    }
    const int32_t result = hardware_->gc_SetInfoElem(handle, &pair);
    args.TraceLine(Format("gc_SetInfoElem ldev=%d RC=%d", handle, result));
}

}  // namespace ruzd::node
