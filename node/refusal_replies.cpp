#include "node/refusal_replies.h"

#include <optional>

#include "node/global_call_values.h"
#include "telephony/vendorapi/voice.h"

namespace ruzd::node::refusal_replies {

namespace {

// What a vendor call gives when it fails, and so what a refused command answers.
constexpr int32_t kFailed = -1;
// No device handle was looked up for the command.
constexpr int32_t kNoHandle = -1;

}  // namespace

void PingOfZero(const RefusedCommand& command) {
    command.messages.PingEcho(command.reply, 0);
}

void NoInfoElements(const RefusedCommand& command) {
    command.messages.InfoElementText(command.reply, "", kFailed);
}

void BChannelStateUnread(const RefusedCommand& command) {
    command.messages.BChannelState(command.reply, command.values.Number(0), kFailed);
}

void DChannelStateUnread(const RefusedCommand& command) {
    command.messages.DChannelState(command.reply, command.values.Number(0), kFailed);
}

void LineDeviceStateUnread(const RefusedCommand& command) {
    command.messages.LineDeviceState(command.reply, command.values.Number(1),
                                     command.values.Number(2), kFailed);
}

void VoiceNotOpened(const RefusedCommand& command) {
    command.messages.VoiceOpenResult(command.reply, command.values.Number(0), kFailed, kFailed);
}

void NoToneTemplate(const RefusedCommand& command) {
    command.messages.ToneTemplate(command.reply, static_cast<uint32_t>(command.values.Number(0)),
                                  kFailed, std::nullopt);
}

void NoDigits(const RefusedCommand& command) {
    command.messages.Digits(command.reply, command.values.Number(0), "X", "", 0, 0);
}

void DialNotStarted(const RefusedCommand& command) {
    command.messages.VoiceFunctionDone(command.reply, command.values.Number(0), TDX_DIAL, kFailed);
}

void PlayNotStarted(const RefusedCommand& command) {
    command.messages.EndOfPlay(command.reply, command.values.Number(0), kMadeUpEndMask, kFailed);
}

void RecordNotStarted(const RefusedCommand& command) {
    command.messages.EndOfRecord(command.reply, command.values.Number(0), kMadeUpEndMask, kFailed);
}

void StationNotRung(const RefusedCommand& command) {
    command.messages.RingResult(command.reply, command.values.Number(0), kFailed);
}

void BoardParameterNotSet(const RefusedCommand& command) {
    command.messages.BoardParameterResult(command.reply, command.values.Number(0), kFailed);
}

void HookStateUnread(const RefusedCommand& command) {
    command.messages.HookState(command.reply, command.values.Number(0), kFailed);
}

void NoFreeStationBoard(const RefusedCommand& command) {
    command.messages.FreeMsiConferenceResources(command.reply, command.values.Number(0), kFailed);
}

void NoFreeDsp(const RefusedCommand& command) {
    command.messages.FreeDcbConferenceResources(command.reply, command.values.Number(0), kFailed);
}

void DspsNotOpened(const RefusedCommand& command) {
    command.messages.DcbOpenResult(command.reply, false);
}

void NoBoardsListed(const RefusedCommand& command) {
    command.messages.AutoConfiguration(command.reply, command.values.Number(0), {});
}

void NoRegistrations(const RefusedCommand& command) {
    command.messages.SipRegisterResult(command.reply, command.values.Number(0), {});
}

void PortInfoUnread(const RefusedCommand& command) {
    command.messages.AculabPortInfo(command.reply, command.values.Number(0),
                                    command.values.Number(1), kFailed, std::nullopt);
}

void CallCauseUnread(const RefusedCommand& command) {
    command.messages.AculabCallCause(command.reply, command.values.Number(0),
                                     command.values.Number(1), kFailed, std::nullopt);
}

void VmpNotReserved(const RefusedCommand& command) {
    command.messages.VmpReserveResult(command.reply, command.values.Number(0), kFailed);
}

void CallNotMade(const RefusedCommand& command) {
    command.messages.DeviceEvent(command.reply, {command.values.Number(1), command.values.Number(0),
                                                 kNoHandle, kTaskFailEvent, 0});
}

}  // namespace ruzd::node::refusal_replies
