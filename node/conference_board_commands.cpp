// The central server's commands for the conference boards: open and close every DSP, ask for a
// DSP with free conference resources, and the conference commands on a DSP named by its index
// in the DSP list (node/conference_commands.cpp).

#include <cstdint>

#include "node/command_arguments.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/dcb_resources.h"

namespace ruzd::node {

using foundation::kDebugChannelGeneral;
using platform::Format;

// The DSP commands run only on the Dialogic path; without it they log so and do nothing.
bool CVesmarinManager::EnterDspCommand(CommandArguments& args) {
    if (!args.Enter()) {
        return false;
    }
    if (!hardware_->IsIntelAvailable()) {
        args.TraceLine("No dialogic installed.");
        return false;
    }
    return true;
}

// The DSPs are closed before they are opened again, so that a second open does not keep each
// twice. Without the Dialogic path the central server gets no answer.
void CVesmarinManager::SocketCmdDCOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    if (EnterDspCommand(args)) {
        telephony::CloseAllDCBResources();
        messages_.DcbOpenResult(*command, telephony::OpenAllDCBResources());
    }
}

void CVesmarinManager::SocketCmdDCCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    if (EnterDspCommand(args)) {
        telephony::CloseAllDCBResources();
    }
}

void CVesmarinManager::SocketCmdDCCFRE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelGeneral);
    int32_t request = 0;
    if (!args.Int(request).Enter()) {
        return;
    }
    const int32_t index = telephony::GetFreeConferenceDCBDeviceIndex();
    args.TraceLine(Format("free conf DCB index nr =%d", index));
    messages_.FreeDcbConferenceResources(*command, request, index);
}

void CVesmarinManager::SocketCmdDCECON(net::CClientStreamSocket* command) {
    EstablishConference(command, ConferenceCalls::Dsps());
}

void CVesmarinManager::SocketCmdDCDCON(net::CClientStreamSocket* command) {
    DeleteConference(command, ConferenceCalls::Dsps());
}

void CVesmarinManager::SocketCmdDCSCDE(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::Dsps(), PartyChange::kSetAttribute);
}

void CVesmarinManager::SocketCmdDCRFCO(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::Dsps(), PartyChange::kRemove);
}

void CVesmarinManager::SocketCmdDCATCO(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::Dsps(), PartyChange::kAdd);
}

}  // namespace ruzd::node
