// The central server's ISDN call-control commands on what a line device carries besides
// calls: its information elements, the states of its B and D channels and the D channel's
// configuration. The queries answer on the command's connection.

#include <string>

#include "node/isdn_call_values.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

// Answers with the line device's information elements as hex text (message 11); an unknown
// line device gets an empty text and -1.
void CVesmarinManager::SocketCmdCCGINF(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }

    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_GetInfoElem", &handle)) {
        messages_.InfoElementText(*command, "", -1);
        return;
    }
    IE_BLK block{};
    const int32_t result = hardware_->cc_GetInfoElem(ldev, handle, &block);
    const std::string text = InfoElementHex(block);
    args.TraceLine(Format("cc_GetInfoElement str=%s RC=%d", text.c_str(), result));
    messages_.InfoElementText(*command, text, result);
}

// Answers with the B channel's state (message 14), -1 when it could not be read; nothing for an
// unknown line device.
void CVesmarinManager::SocketCmdCCGBCS(net::CClientStreamSocket* command) {
    AnswerChannelState(command, &telephony::CHardware::cc_GetBChanState,
                       &CentralMessages::BChannelState);
}

// Answers with the D channel's state (message 15), as the B channel's.
void CVesmarinManager::SocketCmdCCGDCS(net::CClientStreamSocket* command) {
    AnswerChannelState(command, &telephony::CHardware::cc_GetDChanState,
                       &CentralMessages::DChannelState);
}

void CVesmarinManager::AnswerChannelState(net::CClientStreamSocket* command,
                                          int32_t (telephony::CHardware::*query)(int32_t, LINEDEV,
                                                                                 int32_t*),
                                          bool (CentralMessages::*reply)(net::COutputStreamSocket&,
                                                                         int32_t, int32_t) const) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Enter() || !devices_.Network().Get(ldev, &handle) || handle == -1) {
        return;
    }
    int32_t state = 0;
    if ((hardware_.get()->*query)(ldev, handle, &state) != 0) {
        state = -1;
    }
    (messages_.*reply)(*command, ldev, state);
}

void CVesmarinManager::SocketCmdCCSDCC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    DCHAN_CFG config{};
    const bool configFits = args.ShownLine(ldev).Bytes(config.dc_block, sizeof config.dc_block);
    int32_t handle = -1;
    if (!args.Enter() || !FindIsdnLine(args, ldev, "cc_SetDChanCfg", &handle) || !configFits) {
        return;
    }
    const int32_t result = hardware_->cc_SetDChanCfg(handle, &config);
    args.TraceLine(Format("cc_SetDChanCfg ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::SocketCmdCCSIEL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    IE_BLK block{};
    const bool blockFits =
        args.ShownLine(ldev).Bytes(reinterpret_cast<uint8_t*>(&block), sizeof block);
    if (!args.Enter()) {
        return;
    }
    // A block whose length runs past its end would have the library read beyond it.
    if (!blockFits || !HasValidLength(block)) {
        args.TraceLine("Invalid IE_BLK!");
        return;
    }
    int32_t handle = -1;
    if (!FindIsdnLine(args, ldev, "cc_SetInfoElem", &handle)) {
        return;
    }
    const int32_t result = hardware_->cc_SetInfoElem(handle, &block);
    args.TraceLine(Format("cc_SetInfoElem ldev=%d RC=%d", handle, result));
}

}  // namespace ruzd::node
