// The central server's voice channel commands that open and close a voice channel or board and
// set a channel's parameters: event mask, hook state, digit type, speed and volume tables and
// tone-qualification templates. Each reads its values from the command, finds the channel's
// voice-device handle, calls the voice function through the hardware facade and logs the call
// with its result on the voice channel of the log.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/debug_function.h"
#include "foundation/trace.h"
#include "node/isdn_call_values.h"
#include "node/port_type.h"
#include "node/trace_line.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::CDebugFunction;
using foundation::kDebugChannelDti;
using foundation::kDebugChannelVoice;
using platform::Format;

namespace {

// Asynchronous functions are always started asynchronously: the mode the central server sends
// is only logged.
constexpr uint16_t kVoiceAsyncMode = 0x8000;
// ATDX_STATE of a channel that runs no function.
constexpr int32_t kChannelIdle = 1;
// The voice library keeps device names of at most this many characters.
constexpr size_t kMaxVoiceDeviceName = 13;
// The runtime parameter the central server may set on any node; this one has nothing to set.
constexpr int32_t kRuntimeParameterNotOnNode = 5;

std::string VoiceDeviceName(int32_t ldev, int32_t board, int32_t channel) {
    const std::string name = ldev < kBoardLineDeviceBase
                                 ? Format("dxxxB%dC%d", board, channel)
                                 : Format("dxxxB%d", ldev - kBoardLineDeviceBase);
    return name.substr(0, kMaxVoiceDeviceName);
}

}  // namespace

void CVesmarinManager::RegisterVoiceChannelCommands() {
    commands_[25] = {"DXADSV", &CVesmarinManager::SocketCmdDXADSV};
    commands_[33] = {"DXCLDB", &CVesmarinManager::SocketCmdDXCLDB};
    commands_[34] = {"DXCLOS", &CVesmarinManager::SocketCmdDXCLOS};
    commands_[44] = {"DXICAP", &CVesmarinManager::SocketCmdDXICAP};
    commands_[45] = {"DXOPEN", &CVesmarinManager::SocketCmdDXOPEN};
    commands_[49] = {"DXSDIG", &CVesmarinManager::SocketCmdDXSDIG};
    commands_[50] = {"DXSEVM", &CVesmarinManager::SocketCmdDXSEVM};
    commands_[51] = {"DXSHOO", &CVesmarinManager::SocketCmdDXSHOO};
    commands_[52] = {"DXSPAR", &CVesmarinManager::SocketCmdDXSPAR};
    commands_[53] = {"DXSTCH", &CVesmarinManager::SocketCmdDXSTCH};
    commands_[76] = {"SRSPAR", &CVesmarinManager::SocketCmdSRSPAR};
    commands_[116] = {"DXGQUA", &CVesmarinManager::SocketCmdDXGQUA};
    commands_[117] = {"DXSQUA", &CVesmarinManager::SocketCmdDXSQUA};
}

bool CVesmarinManager::FindVoiceChannel(CDebugFunction& trace, int32_t ldev, const char* call,
                                        int32_t* handle) {
    if (GetVoiceDeviceHandle(ldev, handle) && *handle != -1) {
        return true;
    }
    TraceLine(trace, std::string(call) + " ldev=UNKNOWN RET=ERROR");
    return false;
}

void CVesmarinManager::ReportVoicePortStatus(int32_t ldev, const char* text) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(kPortTypeVoice, ldev, text, 0);
    }
}

// Opens a voice channel ("dxxxB<board>C<channel>") or, for 1000000 plus a board number, the
// whole board ("dxxxB<board>"). The reply tells the channel's play and record features; a board
// has none to tell.
void CVesmarinManager::SocketCmdDXOPEN(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t board = 0;
    int32_t channel = 0;
    command->ReadInt(ldev).ReadInt(board).ReadInt(channel);
    CDebugFunction trace;
    trace.Enter("SocketCmdDXOPEN", currentCommandId_, kDebugChannelVoice, ldev)
        ->Append(board)
        .Append(channel)
        .EndLine();

    const std::string name = VoiceDeviceName(ldev, board, channel);
    const int32_t handle = hardware_->dx_open(ldev, name.c_str(), 0);
    if (handle == -1) {
        messages_.VoiceOpenResult(*command, ldev, -1, -1);
        return;
    }
    ++openChannels_;
    ReportVoicePortStatus(ldev, "Idle");
    AddVoiceDevice(ldev, handle);
    AddHandleLdev(handle, ldev);
    SetDevicePortType(handle, kPortTypeVoice);
    TraceLine(trace, Format("dx_open name=%s RC=%d", name.c_str(), handle));

    if (ldev >= kBoardLineDeviceBase) {
        messages_.VoiceOpenResult(*command, ldev, 0, 0);
        return;
    }
    // The library fills its whole structure, of which only the first two words are told.
    FEATURE_TABLE features{};
    const int32_t result = hardware_->dx_getfeaturelist(handle, &features);
    TraceLine(trace, Format("dx_getfeaturelist play=%u record=%u RC=%d",
                            static_cast<unsigned>(features.ft_play),
                            static_cast<unsigned>(features.ft_record), result));
    if (result == -1) {
        messages_.VoiceOpenResult(*command, ldev, -1, -1);
        return;
    }
    messages_.VoiceOpenResult(*command, ldev, features.ft_play, features.ft_record);
}

// Closes a voice channel or board, stopping what it still runs first. The ldev is forgotten
// even when the library refuses the close: the central server will not name it again.
void CVesmarinManager::SocketCmdDXCLOS(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdDXCLOS", currentCommandId_, kDebugChannelVoice, ldev)->EndLine();

    // Held to the end, so that a voice close never overlaps work on the network lines, which
    // may be routed to this channel.
    std::lock_guard lock(Devices().Lock(DeviceHandleTables::Family::kNetwork));
    int32_t handle = -1;
    if (!FindVoiceChannel(trace, ldev, "dx_close", &handle)) {
        return;
    }
    if (hardware_->ATDX_STATE(handle) != kChannelIdle) {
        hardware_->dx_stopch(handle, kVoiceAsyncMode);
        TraceLine(trace, "dx_close first calling dx_stopch");
    }
    const int32_t result = hardware_->dx_close(handle);
    if (result != -1) {
        ReportVoicePortStatus(ldev, "Closed");
        --openChannels_;
    }
    RemoveVoiceDevice(ldev);
    TraceLine(trace, Format("dx_close dev=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXSEVM(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t mask = 0;
    command->ReadInt(ldev).ReadNonNegative(mask);
    CDebugFunction trace;
    trace.Enter("SocketCmdDXSEVM", currentCommandId_, kDebugChannelVoice, ldev)
        ->Append(mask)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, ldev, "dx_setevtmsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setevtmsk(handle, static_cast<uint32_t>(mask));
    TraceLine(trace, Format("dx_setevtmsk dev=%d mask=%d RET=%d", handle, mask, result));
}

void CVesmarinManager::SocketCmdDXSPAR(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    uint32_t parameter = 0;
    int32_t value = 0;
    command->ReadInt(ldev).ReadUInt(parameter).ReadInt(value);
    CDebugFunction trace;
    trace.Enter("SocketCmdDXSPAR", currentCommandId_, kDebugChannelVoice, ldev)
        ->Append(parameter)
        .Append(value)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, ldev, "dx_setparm", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setparm(handle, parameter, &value);
    TraceLine(trace,
              Format("dx_setparm dev=%d parm=%u val=%d RET=%d", handle, parameter, value, result));
}

// The hook state is set in the mode the central server asks for.
void CVesmarinManager::SocketCmdDXSHOO(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    int32_t state = 0;
    uint16_t mode = 0;
    command->ReadInt(ldev).ReadInt(state).ReadWord(mode);
    CDebugFunction trace;
    trace.Enter("SocketCmdDXSHOO", currentCommandId_, kDebugChannelVoice, ldev)
        ->Append(state)
        .Append(mode)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, ldev, "dx_sethook", &handle)) {
        return;
    }
    hardware_->dx_sethook(handle, state, mode);
    TraceLine(trace, Format("dx_sethook state=%d mode=%u", state, static_cast<unsigned>(mode)));
}

// Stopping is always asynchronous: the stop's completion comes as the stopped function's event.
void CVesmarinManager::SocketCmdDXSTCH(net::CClientStreamSocket* command) {
    uint32_t ldev = 0;
    uint16_t mode = 0;
    command->ReadUInt(ldev).ReadWord(mode);
    CDebugFunction trace;
    trace
        .Enter("SocketCmdDXSTCH", currentCommandId_, kDebugChannelVoice, static_cast<int32_t>(ldev))
        ->Append(mode)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), "dx_stopch", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_stopch(handle, kVoiceAsyncMode);
    TraceLine(trace, Format("dx_stopch handle=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXCLDB(net::CClientStreamSocket* command) {
    RunOnVoiceChannel(command, "DXCLDB", "dx_clrdigbuf",
                      [this](int32_t handle) { return hardware_->dx_clrdigbuf(handle); });
}

void CVesmarinManager::SocketCmdDXICAP(net::CClientStreamSocket* command) {
    RunOnVoiceChannel(command, "DXICAP", "dx_initcallp",
                      [this](int32_t handle) { return hardware_->dx_initcallp(handle); });
}

void CVesmarinManager::SocketCmdDXADSV(net::CClientStreamSocket* command) {
    uint32_t ldev = 0;
    uint16_t tableType = 0;
    uint16_t action = 0;
    uint16_t size = 0;
    command->ReadUInt(ldev).ReadWord(tableType).ReadWord(action).ReadWord(size);
    CDebugFunction trace;
    trace
        .Enter("SocketCmdDXADSV", currentCommandId_, kDebugChannelVoice, static_cast<int32_t>(ldev))
        ->Append(tableType)
        .Append(action)
        .Append(size)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), "dx_adjsv", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_adjsv(handle, tableType, action, size);
    TraceLine(trace, Format("dx_adjsv handle=%d tabletype=%u action=%u size=%u RC=%d", handle,
                            static_cast<unsigned>(tableType), static_cast<unsigned>(action),
                            static_cast<unsigned>(size), result));
}

void CVesmarinManager::SocketCmdDXSDIG(net::CClientStreamSocket* command) {
    uint32_t ldev = 0;
    uint16_t mask = 0;
    command->ReadUInt(ldev).ReadWord(mask);
    CDebugFunction trace;
    trace
        .Enter("SocketCmdDXSDIG", currentCommandId_, kDebugChannelVoice, static_cast<int32_t>(ldev))
        ->Append(mask)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), "dx_setdigtyp", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setdigtyp(handle, mask);
    TraceLine(trace, Format("dx_setdigtyp handle=%d mask=%u RC=%d", handle,
                            static_cast<unsigned>(mask), result));
}

// Reads a tone-qualification template. The reply goes whether or not the channel is known; the
// template itself only with a known channel.
void CVesmarinManager::SocketCmdDXGQUA(net::CClientStreamSocket* command) {
    uint32_t ldev = 0;
    int32_t templateId = 0;
    command->ReadUInt(ldev).ReadInt(templateId);
    CDebugFunction trace;
    trace
        .Enter("SocketCmdDXGQUA", currentCommandId_, kDebugChannelVoice, static_cast<int32_t>(ldev))
        ->Append(templateId)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), "dx_getqualtmplate", &handle)) {
        messages_.ToneTemplate(*command, ldev, -1, std::nullopt);
        return;
    }
    TN_QLT block{};
    const int32_t result =
        hardware_->dx_getextqualtmplate(handle, static_cast<uint16_t>(templateId), &block);
    TraceLine(trace, Format("dx_getqualtmplate handle=%d RC=%d", handle, result));
    messages_.ToneTemplate(*command, ldev, result, ByteView(block.tq_block));
}

// Sets a tone-qualification template. A block of any other size than the library's is not
// passed on: the library would read past it or take a part of it.
void CVesmarinManager::SocketCmdDXSQUA(net::CClientStreamSocket* command) {
    uint32_t ldev = 0;
    int32_t templateId = 0;
    command->ReadUInt(ldev).ReadInt(templateId);
    CDebugFunction trace;
    trace
        .Enter("SocketCmdDXSQUA", currentCommandId_, kDebugChannelVoice, static_cast<int32_t>(ldev))
        ->Append(templateId)
        .EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), "dx_setqualtmplate", &handle)) {
        return;
    }
    TN_QLT block{};
    int32_t result = -1;
    if (command->ReadBytes(block.tq_block, static_cast<int>(sizeof block.tq_block))) {
        result = hardware_->dx_setextqualtmplate(handle, static_cast<uint16_t>(templateId), &block);
    } else {
        foundation::Trace(foundation::kTraceVoice, static_cast<int32_t>(ldev),
                          "Pulling 'TN_QLT' structure failed (sizeof(TN_QLT)=%u)",
                          static_cast<unsigned>(sizeof(TN_QLT)));
    }
    TraceLine(trace, Format("dx_setqualtmplate handle=%d RC=%d", handle, result));
}

// The runtime parameters belong to the voice boards' own operating system, which this node does
// not have: the command is only logged.
void CVesmarinManager::SocketCmdSRSPAR(net::CClientStreamSocket* command) {
    int32_t parameter = 0;
    int32_t value = 0;
    command->ReadLong(parameter).ReadLong(value);
    CDebugFunction trace;
    trace.Enter("SocketCmdSRSPAR", currentCommandId_, kDebugChannelDti, foundation::kDebugNone)
        ->Append(parameter)
        .Append(value)
        .EndLine();

    if (parameter == kRuntimeParameterNotOnNode) {
        TraceLine(trace, Format("sr_setparm parno=%d value=%d RET=not executed on Vesmarins",
                                parameter, value));
        return;
    }
    TraceLine(trace,
              Format("sr_setparm dev=UNKNOWN parno=%d value=%d RET=ERROR", parameter, value));
}

void CVesmarinManager::RunOnVoiceChannel(net::CClientStreamSocket* command, const char* word,
                                         const char* call,
                                         const std::function<int32_t(int32_t handle)>& run) {
    uint32_t ldev = 0;
    command->ReadUInt(ldev);
    CDebugFunction trace;
    trace
        .Enter(std::string("SocketCmd") + word, currentCommandId_, kDebugChannelVoice,
               static_cast<int32_t>(ldev))
        ->EndLine();

    int32_t handle = -1;
    if (!FindVoiceChannel(trace, static_cast<int32_t>(ldev), call, &handle)) {
        return;
    }
    const int32_t result = run(handle);
    TraceLine(trace, Format("%s handle=%d RC=%d", call, handle, result));
}

}  // namespace ruzd::node
