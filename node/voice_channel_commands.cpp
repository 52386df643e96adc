// The central server's voice channel commands that open and close a voice channel or board and
// set a channel's parameters: event mask, hook state, digit type, speed and volume tables and
// tone-qualification templates. Each reads its values from the command, finds the channel's
// voice-device handle, calls the voice function through the hardware facade and logs the call
// with its result on the voice channel of the log.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/trace.h"
#include "node/isdn_call_values.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

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

bool CVesmarinManager::FindVoiceChannel(CommandArguments& args, int32_t ldev, const char* call,
                                        int32_t* handle) {
    if (devices_.Voice().Get(ldev, handle) && *handle != -1) {
        return true;
    }
    args.TraceLine(std::string(call) + " ldev=UNKNOWN RET=ERROR");
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
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t board = 0;
    int32_t channel = 0;
    if (!args.Line(ldev).Int(board).Int(channel).Enter()) {
        return;
    }

    CloseBeforeReopen(devices_.Voice(), ldev,
                      [&](int32_t open) { CloseVoiceChannel(args, ldev, open); });
    const std::string name = VoiceDeviceName(ldev, board, channel);
    const int32_t handle = hardware_->dx_open(ldev, name.c_str(), 0);
    if (handle == -1) {
        messages_.VoiceOpenResult(*command, ldev, -1, -1);
        return;
    }
    ++open_channels_;
    ReportVoicePortStatus(ldev, "Idle");
    devices_.Voice().Set(ldev, handle);
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeVoice);
    args.TraceLine(Format("dx_open name=%s RC=%d", name.c_str(), handle));

    if (ldev >= kBoardLineDeviceBase) {
        messages_.VoiceOpenResult(*command, ldev, 0, 0);
        return;
    }
    // The library fills its whole structure, of which only the first two words are told.
    FEATURE_TABLE features{};
    const int32_t result = hardware_->dx_getfeaturelist(handle, &features);
    args.TraceLine(Format("dx_getfeaturelist play=%u record=%u RC=%d",
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
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    if (!args.Line(ldev).Enter()) {
        return;
    }

    // Held to the end, so that a voice close never overlaps work on the network lines, which
    // may be routed to this channel.
    std::lock_guard lock(devices_.Network().Lock());
    int32_t handle = -1;
    if (!FindVoiceChannel(args, ldev, "dx_close", &handle)) {
        return;
    }
    CloseVoiceChannel(args, ldev, handle);
}

void CVesmarinManager::CloseVoiceChannel(CommandArguments& args, int32_t ldev, int32_t handle) {
    if (hardware_->ATDX_STATE(handle) != kChannelIdle) {
        hardware_->dx_stopch(handle, kVoiceAsyncMode);
        args.TraceLine("dx_close first calling dx_stopch");
    }
    const int32_t result = hardware_->dx_close(handle);
    if (result != -1) {
        ReportVoicePortStatus(ldev, "Closed");
        --open_channels_;
    }
    devices_.Voice().Erase(ldev);
    args.TraceLine(Format("dx_close dev=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXSEVM(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t mask = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).NonNegative(mask).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_setevtmsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setevtmsk(handle, static_cast<uint32_t>(mask));
    args.TraceLine(Format("dx_setevtmsk dev=%d mask=%d RET=%d", handle, mask, result));
}

void CVesmarinManager::SocketCmdDXSPAR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    uint32_t parameter = 0;
    int32_t value = 0;
    // The entry line shows the parameter as the log shows every 32-bit value: signed.
    args.Line(ldev).Stream().ReadUInt(parameter);
    int32_t handle = -1;
    if (!args.Show(static_cast<int32_t>(parameter)).Int(value).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_setparm", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setparm(handle, parameter, &value);
    args.TraceLine(
        Format("dx_setparm dev=%d parm=%u val=%d RET=%d", handle, parameter, value, result));
}

// The hook state is set in the mode the central server asks for.
void CVesmarinManager::SocketCmdDXSHOO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    int32_t ldev = 0;
    int32_t state = 0;
    uint16_t mode = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Int(state).Word(mode).Enter() ||
        !FindVoiceChannel(args, ldev, "dx_sethook", &handle)) {
        return;
    }
    hardware_->dx_sethook(handle, state, mode);
    args.TraceLine(Format("dx_sethook state=%d mode=%u", state, static_cast<unsigned>(mode)));
}

// Stopping is always asynchronous: the stop's completion comes as the stopped function's event.
void CVesmarinManager::SocketCmdDXSTCH(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t mode = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Word(mode).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_stopch", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_stopch(handle, kVoiceAsyncMode);
    args.TraceLine(Format("dx_stopch handle=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDXCLDB(net::CClientStreamSocket* command) {
    RunOnVoiceChannel(command, "dx_clrdigbuf",
                      [this](int32_t handle) { return hardware_->dx_clrdigbuf(handle); });
}

void CVesmarinManager::SocketCmdDXICAP(net::CClientStreamSocket* command) {
    RunOnVoiceChannel(command, "dx_initcallp",
                      [this](int32_t handle) { return hardware_->dx_initcallp(handle); });
}

void CVesmarinManager::SocketCmdDXADSV(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t tableType = 0;
    uint16_t action = 0;
    uint16_t size = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Word(tableType).Word(action).Word(size).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_adjsv", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_adjsv(handle, tableType, action, size);
    args.TraceLine(Format("dx_adjsv handle=%d tabletype=%u action=%u size=%u RC=%d", handle,
                          static_cast<unsigned>(tableType), static_cast<unsigned>(action),
                          static_cast<unsigned>(size), result));
}

void CVesmarinManager::SocketCmdDXSDIG(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    uint16_t mask = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Word(mask).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_setdigtyp", &handle)) {
        return;
    }
    const int32_t result = hardware_->dx_setdigtyp(handle, mask);
    args.TraceLine(Format("dx_setdigtyp handle=%d mask=%u RC=%d", handle,
                          static_cast<unsigned>(mask), result));
}

// Reads a tone-qualification template. The reply goes whether or not the channel is known; the
// template itself only with a known channel.
void CVesmarinManager::SocketCmdDXGQUA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    int32_t templateId = 0;
    if (!args.Line(ldev).Int(templateId).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_getqualtmplate", &handle)) {
        messages_.ToneTemplate(*command, ldev, -1, std::nullopt);
        return;
    }
    TN_QLT block{};
    const int32_t result =
        hardware_->dx_getextqualtmplate(handle, static_cast<uint16_t>(templateId), &block);
    args.TraceLine(Format("dx_getqualtmplate handle=%d RC=%d", handle, result));
    messages_.ToneTemplate(*command, ldev, result, ByteView(block.tq_block));
}

// Sets a tone-qualification template. A block of any other size than the library's is not
// passed on: the library would read past it or take a part of it.
void CVesmarinManager::SocketCmdDXSQUA(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    int32_t templateId = 0;
    TN_QLT block{};
    const bool blockFits = args.Line(ldev)
                               .Int(templateId)
                               .Bytes(block.tq_block, static_cast<int>(sizeof block.tq_block));
    int32_t handle = -1;
    if (!args.Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), "dx_setqualtmplate", &handle)) {
        return;
    }
    int32_t result = -1;
    if (blockFits) {
        result = hardware_->dx_setextqualtmplate(handle, static_cast<uint16_t>(templateId), &block);
    } else {
        foundation::Trace(foundation::kTraceVoice, static_cast<int32_t>(ldev),
                          "Pulling 'TN_QLT' structure failed (sizeof(TN_QLT)=%u)",
                          static_cast<unsigned>(sizeof(TN_QLT)));
    }
    args.TraceLine(Format("dx_setqualtmplate handle=%d RC=%d", handle, result));
}

// The runtime parameters belong to the voice boards' own operating system, which this node does
// not have: the command is only logged.
void CVesmarinManager::SocketCmdSRSPAR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t parameter = 0;
    int32_t value = 0;
    if (!args.Long(parameter).Long(value).Enter()) {
        return;
    }

    if (parameter == kRuntimeParameterNotOnNode) {
        args.TraceLine(
            Format("sr_setparm parno=%d value=%d RET=not executed on Vesmarins", parameter, value));
        return;
    }
    args.TraceLine(Format("sr_setparm dev=UNKNOWN parno=%d value=%d RET=ERROR", parameter, value));
}

void CVesmarinManager::RunOnVoiceChannel(net::CClientStreamSocket* command, const char* call,
                                         const std::function<int32_t(int32_t handle)>& run) {
    CommandArguments args = Arguments(command, kDebugChannelVoice);
    uint32_t ldev = 0;
    int32_t handle = -1;
    if (!args.Line(ldev).Enter() ||
        !FindVoiceChannel(args, static_cast<int32_t>(ldev), call, &handle)) {
        return;
    }
    const int32_t result = run(handle);
    args.TraceLine(Format("%s handle=%d RC=%d", call, handle, result));
}

}  // namespace ruzd::node
