// The central server's ISDN call-control commands on line devices: opening and closing B
// channels, trunk boards and BRI stations, their channel state, restart, event mask, traces and
// time-slot blocking. Each reads its values from the command, finds the network line's vendor
// handle, calls the call-control function through the hardware facade and logs the call with its
// result.

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "node/isdn_call_values.h"
#include "node/own_files.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// The narrow buffer the trace file's path is copied into.
constexpr size_t kTraceFileBufferSize = 260;

}  // namespace

bool CVesmarinManager::FindIsdnLine(CommandArguments& args, int32_t ldev, const char* call,
                                    int32_t* handle) {
    if (devices_.Network().Get(ldev, handle) && *handle != -1) {
        return true;
    }
    args.TraceLine(std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

std::optional<CRN> CVesmarinManager::IsdnCallOf(int32_t ldev, CRN received) {
    CRN current = 0;
    const bool kept = call_refs_.GetCallRef(ldev, kPortTypeNetwork, &current);
    return ResolveCrn(received, kept ? std::optional<CRN>(current) : std::nullopt);
}

void CVesmarinManager::SetCallRefValid(int32_t ldev, int32_t type, bool valid) {
    call_refs_.SetCallRefValid(ldev, type, valid);
}

void CVesmarinManager::ReportIsdnPortStatus(int32_t ldev, const char* text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(kPortTypeNetwork, ldev, text, 0);
    }
}

// Records an opened line device under its number and its handle. A line device whose open
// failed keeps the handle -1, so that later commands on it fail their lookup rather than reach
// whatever device the library might hand that value to.
void CVesmarinManager::RegisterIsdnLine(int32_t ldev, int32_t result, LINEDEV handle) {
    if (result == -1 || handle == -1) {
        devices_.Network().Set(ldev, -1);
        return;
    }
    devices_.Network().Set(ldev, handle);
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeNetwork);
}

void CVesmarinManager::CloseBeforeReopen(DeviceTable& devices, int32_t ldev,
                                         const std::function<void(int32_t handle)>& close) {
    std::lock_guard lock(devices_.Network().Lock());
    int32_t handle = -1;
    if (devices.Get(ldev, &handle) && handle != -1) {
        close(handle);
    }
}

// Opens a B channel ("dtiB<board>T<slot>") or a whole trunk board ("dtiB<board>").
void CVesmarinManager::SocketCmdCCOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }

    CloseBeforeReopen(devices_.Network(), ldev,
                      [&](int32_t open) { CloseIsdnLine(args, ldev, open); });
    const std::string name = TrunkDeviceName(ldev);
    LINEDEV handle = -1;
    if (ldev >= kBoardLineDeviceBase) {
        const int32_t result = hardware_->cc_Open(0, &handle, name.c_str(), 0);
        RegisterIsdnLine(ldev, result, handle);
        args.TraceLine(Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
        if (result != 0 && listener_) {
            // A board that did not open is reported as an event of its own.
            messages_.DeviceEventWithWord(*listener_,
                                          {ldev, kPortTypeNetwork, handle, kBoardOpenedEvent, 0},
                                          kBoardOpenedWord);
        }
        return;
    }

    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    if (result != -1) {
        ++open_channels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    args.TraceLine(Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
    const int32_t parameterResult =
        hardware_->cc_SetParm(handle, kBChannelParameter, kBChannelParameterValue);
    args.TraceLine(Format("cc_SetParm RET=%d", parameterResult));
}

// Opens a BRI channel ("briS<station>T<slot>") or a whole BRI station ("briS<station>").
void CVesmarinManager::SocketCmdCCOPEB(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t station = 0;
    int32_t timeSlot = 0;
    if (!args.ShownLine(ldev).Int(station).Int(timeSlot).Enter()) {
        return;
    }

    CloseBeforeReopen(devices_.Network(), ldev,
                      [&](int32_t open) { CloseIsdnLine(args, ldev, open); });
    const std::string name = BriDeviceName(ldev, station, timeSlot);
    LINEDEV handle = -1;
    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    // Only channels count as open channels: a station is closed as one line device, so
    // counting it would let the count drift from the channels the central server holds.
    if (result != -1 && ldev < kBoardLineDeviceBase) {
        ++open_channels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    args.TraceLine(Format("cc_Open (bri) ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
}

void CVesmarinManager::SocketCmdCCCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }

    // The table stays locked from the lookup to the removal, so that no other thread finds a
    // line device that is being closed.
    std::lock_guard lock(devices_.Network().Lock());
    int32_t handle = -1;
    if (!devices_.Network().Get(ldev, &handle) || handle == -1) {
        args.TraceLine("cc_Close dev=UNKNOWN RET=ERROR");
        return;
    }
    CloseIsdnLine(args, ldev, handle);
}

void CVesmarinManager::CloseIsdnLine(CommandArguments& args, int32_t ldev, LINEDEV handle) {
    const int32_t result = hardware_->cc_Close(ldev, handle);
    if (result != -1) {
        if (ldev < kBoardLineDeviceBase) {
            --open_channels_;
        }
        ReportIsdnPortStatus(ldev, "Closed");
    }
    args.TraceLine(Format("cc_Close ldev=%d RET=%d", handle, result));
    devices_.Network().Erase(ldev);
    devices_.HandleLdevs().Erase(handle);
}

void CVesmarinManager::SocketCmdCCSCHS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t channelState = 0;
    uint32_t mode = 0;
    int32_t nrpra = 0;
    int32_t reset = 0;
    if (!args.ShownLine(ldev).Int(channelState).UInt(mode).Int(nrpra).Int(reset).Enter()) {
        return;
    }

    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_SetChanState", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetChanState(
        ldev, handle, channelState, static_cast<int32_t>(kAsyncMode), nrpra, reset);
    args.TraceLine(Format("cc_SetChanState ldev=%d chanstate=%d mode=%u nrpra=%d reset=%d RET=%d",
                          handle, channelState, mode, nrpra, reset, result));
}

// Restarts a line device: its calls are gone, so its call reference goes too, whatever the
// library answers.
void CVesmarinManager::SocketCmdCCREST(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    uint32_t mode = 0;
    if (!args.ShownLine(ldev).UInt(mode).Enter()) {
        return;
    }

    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_Restart", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_Restart(ldev, handle, mode);
    args.TraceLine(Format("cc_Restart ldev=%d mode=%u RET=%d", handle, mode, result));
    call_refs_.SetCallRef(ldev, kPortTypeNetwork, 0, false);
}

void CVesmarinManager::SocketCmdCCSEVM(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    uint32_t mask = 0;
    int32_t action = 0;
    if (!args.ShownLine(ldev).UInt(mask).Int(action).Enter()) {
        return;
    }

    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_SetEvtMsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetEvtMsk(ldev, handle, mask, action);
    args.TraceLine(
        Format("cc_SetEvtMsk ldev=%d mask=%u action=%d RET=%d", handle, mask, action, result));
}

// Traces the line device into a file, named as the central server names it (through the file
// map).
void CVesmarinManager::SocketCmdCCSTAT(net::CClientStreamSocket* command) {
    RunStartTrace(command, "cc_StartTrace", [this](int32_t handle, const char* file) {
        return hardware_->cc_StartTrace(handle, file);
    });
}

void CVesmarinManager::RunStartTrace(
    net::CClientStreamSocket* command, const char* call,
    const std::function<int32_t(int32_t handle, const char* file)>& start) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    std::string path;
    if (!args.ShownLine(ldev).String(path).Enter()) {
        return;
    }

    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, call, &handle)) {
        return;
    }
    FileMapping(path);
    if (ReachesNodeOwnFiles(path)) {
        args.TraceLine(Format("%s ldev=%d file=%s refused: one of the node's own files", call,
                              handle, path.c_str()));
        return;
    }
    char file[kTraceFileBufferSize] = {};
    const std::string narrow = platform::Utf8ToCp1252(path);
    std::memcpy(file, narrow.data(), std::min(narrow.size(), sizeof file - 1));
    const int32_t result = start(handle, file);
    args.TraceLine(Format("%s ldev=%d file=%s RET=%d", call, handle, path.c_str(), result));
}

void CVesmarinManager::SocketCmdCCSTOT(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "cc_StopTrace",
                  [this](int32_t, int32_t handle) { return hardware_->cc_StopTrace(handle); });
}

// The cause value call is given the device handle as its value.
void CVesmarinManager::SocketCmdCCCAVA(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "cc_CauseValue", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_CauseValue(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCBLOC(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "cc_BlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_BlockTs(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCUNBL(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "cc_UnBlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_UnBlockTs(ldev, handle);
    });
}

void CVesmarinManager::RunOnIsdnLine(
    net::CClientStreamSocket* command, const char* call,
    const std::function<int32_t(int32_t ldev, int32_t handle)>& run) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Enter() || !FindIsdnLine(args, ldev, call, &handle)) {
        return;
    }
    const int32_t result = run(ldev, handle);
    args.TraceLine(Format("%s ldev=%d RET=%d", call, handle, result));
}

}  // namespace ruzd::node
