// The central server's ISDN call-control commands on line devices: the command table's entries
// of the family, opening and closing B channels, trunk boards and BRI stations, their channel
// state, restart, event mask, traces and time-slot blocking. Each reads its values from the
// command, finds the network line's vendor handle, calls the call-control function through the
// hardware facade and logs the call with its result.

#include <algorithm>
#include <cstring>
#include <functional>
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

namespace {

// The narrow buffer the trace file's path is copied into.
constexpr size_t kTraceFileBufferSize = 260;

}  // namespace

void CVesmarinManager::RegisterIsdnCallControlCommands() {
    commands_[8] = {"CCDRCA", &CVesmarinManager::SocketCmdCCDRCA};
    commands_[9] = {"CCSTAT", &CVesmarinManager::SocketCmdCCSTAT};
    commands_[10] = {"CCSTOT", &CVesmarinManager::SocketCmdCCSTOT};
    commands_[77] = {"CCACCA", &CVesmarinManager::SocketCmdCCACCA};
    commands_[78] = {"CCANCA", &CVesmarinManager::SocketCmdCCANCA};
    commands_[79] = {"CCBLOC", &CVesmarinManager::SocketCmdCCBLOC};
    commands_[80] = {"CCCAAC", &CVesmarinManager::SocketCmdCCCAAC};
    commands_[81] = {"CCCAPR", &CVesmarinManager::SocketCmdCCCAPR};
    commands_[82] = {"CCCLOS", &CVesmarinManager::SocketCmdCCCLOS};
    commands_[83] = {"CCGINF", &CVesmarinManager::SocketCmdCCGINF};
    commands_[84] = {"CCMKCA", &CVesmarinManager::SocketCmdCCMKCA};
    commands_[85] = {"CCOPEN", &CVesmarinManager::SocketCmdCCOPEN};
    commands_[86] = {"CCREST", &CVesmarinManager::SocketCmdCCREST};
    commands_[87] = {"CCRLCA", &CVesmarinManager::SocketCmdCCRLCA};
    commands_[88] = {"CCSCHS", &CVesmarinManager::SocketCmdCCSCHS};
    commands_[89] = {"CCSEVM", &CVesmarinManager::SocketCmdCCSEVM};
    commands_[90] = {"CCUNBL", &CVesmarinManager::SocketCmdCCUNBL};
    commands_[91] = {"CCWCAL", &CVesmarinManager::SocketCmdCCWCAL};
    commands_[92] = {"CCGDCS", &CVesmarinManager::SocketCmdCCGDCS};
    commands_[93] = {"CCGBCS", &CVesmarinManager::SocketCmdCCGBCS};
    commands_[94] = {"CCSDCC", &CVesmarinManager::SocketCmdCCSDCC};
    commands_[95] = {"CCOPEB", &CVesmarinManager::SocketCmdCCOPEB};
    commands_[96] = {"CCCAVA", &CVesmarinManager::SocketCmdCCCAVA};
    commands_[97] = {"CCGMDI", &CVesmarinManager::SocketCmdCCGMDI};
    commands_[98] = {"CCSMSG", &CVesmarinManager::SocketCmdCCSMSG};
    commands_[125] = {"CCSIEL", &CVesmarinManager::SocketCmdCCSIEL};
}

bool CVesmarinManager::FindIsdnLine(CDebugFunction& trace, int32_t ldev, const char* call,
                                    int32_t* handle) {
    if (GetNetworkDeviceHandle(ldev, handle) && *handle != -1) {
        return true;
    }
    TraceLine(trace, std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

std::optional<CRN> CVesmarinManager::IsdnCallOf(int32_t ldev, CRN received) {
    CRN current = 0;
    const bool kept = GetCallRef(ldev, kPortTypeNetwork, &current);
    return ResolveCrn(received, kept ? std::optional<CRN>(current) : std::nullopt);
}

void CVesmarinManager::SetCallRefValid(int32_t ldev, int32_t type, bool valid) {
    callRefs_.SetCallRefValid(ldev, type, valid);
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
        AddNetworkDevice(ldev, -1);
        return;
    }
    AddNetworkDevice(ldev, handle);
    AddHandleLdev(handle, ldev);
    SetDevicePortType(handle, kPortTypeNetwork);
}

// Opens a B channel ("dtiB<board>T<slot>") or a whole trunk board ("dtiB<board>").
void CVesmarinManager::SocketCmdCCOPEN(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCOPEN", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    const std::string name = TrunkDeviceName(ldev);
    LINEDEV handle = -1;
    if (ldev >= kBoardLineDeviceBase) {
        const int32_t result = hardware_->cc_Open(0, &handle, name.c_str(), 0);
        RegisterIsdnLine(ldev, result, handle);
        TraceLine(trace, Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
        if (result != 0 && listener_) {
            // A board that did not open is reported as an event of its own.
            messages_.DeviceEventWithWord(
                *listener_, {ldev, kPortTypeNetwork, handle, kBoardOpenedEvent, 0},
                kBoardOpenedWord);
        }
        return;
    }

    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    if (result != -1) {
        ++openChannels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    TraceLine(trace, Format("cc_Open ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
    const int32_t parameterResult =
        hardware_->cc_SetParm(handle, kBChannelParameter, kBChannelParameterValue);
    TraceLine(trace, Format("cc_SetParm RET=%d", parameterResult));
}

// Opens a BRI channel ("briS<station>T<slot>") or a whole BRI station ("briS<station>").
void CVesmarinManager::SocketCmdCCOPEB(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t station = 0;
    int32_t timeSlot = 0;
    command->ReadInt(ldev).ReadInt(station).ReadInt(timeSlot);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCOPEB", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(station)
        .Append(timeSlot)
        .EndLine();

    const std::string name = BriDeviceName(ldev, station, timeSlot);
    LINEDEV handle = -1;
    const int32_t result = hardware_->cc_Open(ldev, &handle, name.c_str(), 0);
    // Only channels count as open channels: a station is closed as one line device, so
    // counting it would let the count drift from the channels the central server holds.
    if (result != -1 && ldev < kBoardLineDeviceBase) {
        ++openChannels_;
        ReportIsdnPortStatus(ldev, "Idle");
    }
    RegisterIsdnLine(ldev, result, handle);
    TraceLine(trace,
              Format("cc_Open (bri) ldev=%d devname=%s RET=%d", handle, name.c_str(), result));
}

void CVesmarinManager::SocketCmdCCCLOS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCCLOS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    // The table stays locked from the lookup to the removal, so that no other thread finds a
    // line device that is being closed.
    std::lock_guard lock(Devices().Lock(DeviceHandleTables::Family::kNetwork));
    int32_t handle = -1;
    if (!GetNetworkDeviceHandle(ldev, &handle) || handle == -1) {
        TraceLine(trace, "cc_Close dev=UNKNOWN RET=ERROR");
        return;
    }
    const int32_t result = hardware_->cc_Close(ldev, handle);
    if (result != -1) {
        if (ldev < kBoardLineDeviceBase) {
            --openChannels_;
        }
        ReportIsdnPortStatus(ldev, "Closed");
    }
    TraceLine(trace, Format("cc_Close ldev=%d RET=%d", handle, result));
    RemoveNetworkDevice(ldev);
    RemoveHandleLdev(handle);
}

void CVesmarinManager::SocketCmdCCSCHS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t channelState = 0;
    uint32_t mode = 0;
    int32_t nrpra = 0;
    int32_t reset = 0;
    command->ReadInt(ldev).ReadInt(channelState).ReadUInt(mode).ReadInt(nrpra).ReadInt(reset);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSCHS", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(channelState)
        .Append(Format("%u", mode))
        .Append(nrpra)
        .Append(reset)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetChanState", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetChanState(
        ldev, handle, channelState, static_cast<int32_t>(kAsyncMode), nrpra, reset);
    TraceLine(trace, Format("cc_SetChanState ldev=%d chanstate=%d mode=%u nrpra=%d reset=%d RET=%d",
                            handle, channelState, mode, nrpra, reset, result));
}

// Restarts a line device: its calls are gone, so its call reference goes too, whatever the
// library answers.
void CVesmarinManager::SocketCmdCCREST(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    uint32_t mode = 0;
    command->ReadInt(ldev).ReadUInt(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCREST", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(Format("%u", mode))
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_Restart", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_Restart(ldev, handle, mode);
    TraceLine(trace, Format("cc_Restart ldev=%d mode=%u RET=%d", handle, mode, result));
    SetCallRef(ldev, kPortTypeNetwork, 0, false);
}

void CVesmarinManager::SocketCmdCCSEVM(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    uint32_t mask = 0;
    int32_t action = 0;
    command->ReadInt(ldev).ReadUInt(mask).ReadInt(action);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSEVM", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(Format("%u", mask))
        .Append(action)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetEvtMsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetEvtMsk(ldev, handle, mask, action);
    TraceLine(trace, Format("cc_SetEvtMsk ldev=%d mask=%u action=%d RET=%d", handle, mask, action,
                            result));
}

// Traces the line device into a file, named as the central server names it (through the file
// map).
void CVesmarinManager::SocketCmdCCSTAT(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    std::string path;
    command->ReadInt(ldev).ReadString(path);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSTAT", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .Append(path)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_StartTrace", &handle)) {
        return;
    }
    FileMapping(path);
    char file[kTraceFileBufferSize] = {};
    const std::string narrow = platform::Utf8ToCp1252(path);
    std::memcpy(file, narrow.data(), std::min(narrow.size(), sizeof file - 1));
    const int32_t result = hardware_->cc_StartTrace(handle, file);
    TraceLine(trace, Format("cc_StartTrace ldev=%d file=%s RET=%d", handle, path.c_str(), result));
}

void CVesmarinManager::SocketCmdCCSTOT(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCSTOT", "cc_StopTrace",
                  [this](int32_t, int32_t handle) { return hardware_->cc_StopTrace(handle); });
}

// The cause value call is given the device handle as its value.
void CVesmarinManager::SocketCmdCCCAVA(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCCAVA", "cc_CauseValue", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_CauseValue(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCBLOC(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCBLOC", "cc_BlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_BlockTs(ldev, handle);
    });
}

void CVesmarinManager::SocketCmdCCUNBL(net::CClientStreamSocket* command) {
    RunOnIsdnLine(command, "CCUNBL", "cc_UnBlockTs", [this](int32_t ldev, int32_t handle) {
        return hardware_->cc_UnBlockTs(ldev, handle);
    });
}

void CVesmarinManager::RunOnIsdnLine(
    net::CClientStreamSocket* command, const char* word, const char* call,
    const std::function<int32_t(int32_t ldev, int32_t handle)>& run) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter(std::string("SocketCmd") + word, currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, call, &handle)) {
        return;
    }
    const int32_t result = run(ldev, handle);
    TraceLine(trace, Format("%s ldev=%d RET=%d", call, handle, result));
}

}  // namespace ruzd::node
