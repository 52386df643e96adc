// The central server's conference commands on a station board, named by its line device number
// (node/conference_commands.cpp has what they share with the conference boards).

#include "node/vesmarin_manager.h"

namespace ruzd::node {

void CVesmarinManager::SocketCmdMSECON(net::CClientStreamSocket* command) {
    EstablishConference(command, ConferenceCalls::StationBoards());
}

void CVesmarinManager::SocketCmdMSDCON(net::CClientStreamSocket* command) {
    DeleteConference(command, ConferenceCalls::StationBoards());
}

void CVesmarinManager::SocketCmdMSSCDE(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::StationBoards(), PartyChange::kSetAttribute);
}

void CVesmarinManager::SocketCmdMSATCO(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::StationBoards(), PartyChange::kAdd);
}

void CVesmarinManager::SocketCmdMSRFCO(net::CClientStreamSocket* command) {
    ChangeConferenceParty(command, ConferenceCalls::StationBoards(), PartyChange::kRemove);
}

}  // namespace ruzd::node
