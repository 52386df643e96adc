#pragma once

// What a command the argument reader refused still sends, so that a central server waiting for
// the command's answer is not left waiting: the answer its handler gives when the vendor call
// fails, with the values the frame held before the refused one (0 for the others). The
// command list (node/command_list.inc) names each command's answer; one that has none sends
// nothing. The answer goes back on the connection that sent the command.

#include "net/output_stream_socket.h"
#include "node/central_messages.h"
#include "node/command_values.h"

namespace ruzd::node {

// A refused command: the writer of its connection and what its frame held.
struct RefusedCommand {
    const CentralMessages& messages;
    net::COutputStreamSocket& reply;
    const CommandValues& values;
};

using RefusalReply = void (*)(const RefusedCommand& command);

namespace refusal_replies {

// The central server waits for nothing.
inline constexpr RefusalReply None = nullptr;

// Message 1 with 0, as for a keep-alive without its value.
void PingOfZero(const RefusedCommand& command);
// Message 11: an empty text and -1.
void NoInfoElements(const RefusedCommand& command);
// Messages 14 and 15: the line device (first value) and -1.
void BChannelStateUnread(const RefusedCommand& command);
void DChannelStateUnread(const RefusedCommand& command);
// Message 32: the line device and the information type (the values after the device type),
// state -1.
void LineDeviceStateUnread(const RefusedCommand& command);
// Message 8: the line device, -1 and -1.
void VoiceNotOpened(const RefusedCommand& command);
// Message 24: the line device and -1, without a template.
void NoToneTemplate(const RefusedCommand& command);
// Message 10: the line device, "X", no types, 0 and 0.
void NoDigits(const RefusedCommand& command);
// Message 4: the line device, the dial's event code and -1. Every dial ends with message 4
// (from the dial's event, or from a failed start with call-progress analysis), whatever mode
// it was given; a dial that never started has no call-progress result to tell.
void DialNotStarted(const RefusedCommand& command);
// Messages 5 and 13: an end of play or record the node made up, with -1 as the error.
void PlayNotStarted(const RefusedCommand& command);
void RecordNotStarted(const RefusedCommand& command);
// Messages 18, 19 and 28: the line device and -1.
void StationNotRung(const RefusedCommand& command);
void BoardParameterNotSet(const RefusedCommand& command);
void HookStateUnread(const RefusedCommand& command);
// Messages 30 and 33: the request value and -1.
void NoFreeStationBoard(const RefusedCommand& command);
void NoFreeDsp(const RefusedCommand& command);
// Message 34: not opened.
void DspsNotOpened(const RefusedCommand& command);
// Message 35: the board kind and no boards.
void NoBoardsListed(const RefusedCommand& command);
// Message 37: the request value and no results.
void NoRegistrations(const RefusedCommand& command);
// Message 20: the board and the IP flag, -1 and no port information.
void PortInfoUnread(const RefusedCommand& command);
// Message 22: the line device and the IP flag, -1 and no cause.
void CallCauseUnread(const RefusedCommand& command);
// Message 25: the line device and -1.
void VmpNotReserved(const RefusedCommand& command);
// Message 12: the task failure of the line device (the value after its device type), so that
// the central server releases the channel as after a call that could not be made; no handle
// was looked up and there is no call reference.
void CallNotMade(const RefusedCommand& command);

}  // namespace refusal_replies

}  // namespace ruzd::node
