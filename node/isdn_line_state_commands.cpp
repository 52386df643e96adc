// The central server's ISDN call-control commands on what a line device carries besides
// calls: its information elements, the states of its B and D channels and the D channel's
// configuration. The queries answer on the command's connection.

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

// Answers with the line device's information elements as hex text (message 11); an unknown
// line device gets an empty text and -1.
void CVesmarinManager::SocketCmdCCGINF(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCGINF", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_GetInfoElem", &handle)) {
        messages_.InfoElementText(*command, "", -1);
        return;
    }
    IE_BLK block{};
    const int32_t result = hardware_->cc_GetInfoElem(ldev, handle, &block);
    const std::string text = InfoElementHex(block);
    TraceLine(trace, Format("cc_GetInfoElement str=%s RC=%d", text.c_str(), result));
    messages_.InfoElementText(*command, text, result);
}

// Answers with the B channel's state (message 14), -1 when it could not be read; nothing for an
// unknown line device.
void CVesmarinManager::SocketCmdCCGBCS(net::CClientStreamSocket* command) {
    AnswerChannelState(command, "SocketCmdCCGBCS", &telephony::CHardware::cc_GetBChanState,
                       &CentralMessages::BChannelState);
}

// Answers with the D channel's state (message 15), as the B channel's.
void CVesmarinManager::SocketCmdCCGDCS(net::CClientStreamSocket* command) {
    AnswerChannelState(command, "SocketCmdCCGDCS", &telephony::CHardware::cc_GetDChanState,
                       &CentralMessages::DChannelState);
}

void CVesmarinManager::AnswerChannelState(net::CClientStreamSocket* command, const char* name,
                                          int32_t (telephony::CHardware::*query)(int32_t, LINEDEV,
                                                                                 int32_t*),
                                          bool (CentralMessages::*reply)(net::COutputStreamSocket&,
                                                                         int32_t, int32_t) const) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter(name, currentCommandId_, kDebugChannelDti, ldev)->Append(ldev).EndLine();

    int32_t handle = -1;
    if (!GetNetworkDeviceHandle(ldev, &handle) || handle == -1) {
        return;
    }
    int32_t state = 0;
    if ((hardware_.get()->*query)(ldev, handle, &state) != 0) {
        state = -1;
    }
    (messages_.*reply)(*command, ldev, state);
}

void CVesmarinManager::SocketCmdCCSDCC(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSDCC", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetDChanCfg", &handle)) {
        return;
    }
    DCHAN_CFG config{};
    if (!command->ReadBytes(config.dc_block, sizeof config.dc_block)) {
        return;
    }
    const int32_t result = hardware_->cc_SetDChanCfg(handle, &config);
    TraceLine(trace, Format("cc_SetDChanCfg ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::SocketCmdCCSIEL(net::CClientStreamSocket* command) {
    int32_t ldev = 0;
    command->ReadInt(ldev);
    CDebugFunction trace;
    trace.Enter("SocketCmdCCSIEL", currentCommandId_, kDebugChannelDti, ldev)
        ->Append(ldev)
        .EndLine();

    // A block whose length runs past its end would have the library read beyond it.
    IE_BLK block{};
    if (!command->ReadBytes(reinterpret_cast<uint8_t*>(&block), sizeof block) ||
        !HasValidLength(block)) {
        TraceLine(trace, "Invalid IE_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(trace, ldev, "cc_SetInfoElem", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetInfoElem(handle, &block);
    TraceLine(trace, Format("cc_SetInfoElem ldev=%d RC=%d", handle, result));
}

}  // namespace ruzd::node
