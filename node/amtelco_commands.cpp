// The central server's commands of the Amtelco XDS boards: open a board and announce the node
// to it, reset (not done), set its ring mode, ask for a ring's connection, prepare a cable and
// send the identification. None replies; what the boards answer comes back through the
// Amtelco worker. A board number goes to the library as its low 8 bits.

#include <cstdint>
#include <cstring>
#include <string>

#include "foundation/threaded_message_box.h"
#include "node/amtelco_texts.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelAmtelco;
using platform::Format;

namespace {

// The cable the preparation command works on: the one cable the node serves.
constexpr int32_t kPreparedCable = 0;
// The ring modes that are messages rather than a ring-mode call.
constexpr int32_t kRingModeMessages1 = 4;
constexpr int32_t kRingModeMessages2 = 5;

constexpr const char* kNoAmtelcoText = "Could not load XDSlibsc.dll\nAmtelco traffic is disabled";
constexpr const char* kNoAmtelcoCaption = "Zenturo Pelwix";

uint8_t BoardByte(int32_t board) {
    return static_cast<uint8_t>(board);
}

// An identification text of the board's record, which need not end within its field.
std::string IdText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

int32_t SendText(telephony::CHardware& hardware, CommandArguments& args, int32_t board,
                 const std::string& text) {
    const int32_t result = hardware.xds_msg_send(BoardByte(board), text.c_str());
    args.TraceLine(Format("xds_msg_send %s RC=%d", text.c_str(), result));
    return result;
}

}  // namespace

// The tables change only once the board answered its identification and took messages.
void CVesmarinManager::SocketCmdAMOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t board = 0;
    int32_t cable = 0;
    int32_t base = 0;
    int32_t fourth = 0;
    int32_t ringMode = 0;
    int32_t idValue = 0;
    int32_t idDigit = 0;
    if (!args.Int(board)
             .Int(cable)
             .Int(base)
             .Int(fourth)
             .Int(ringMode)
             .Int(idValue)
             .Int(idDigit)
             .Enter()) {
        return;
    }
    if (!hardware_->IsAmtelcoAvailable()) {
        args.TraceLine(kNoAmtelcoText);
        foundation::ThreadedMessageBox(0, kNoAmtelcoText, kNoAmtelcoCaption, platform::kMbOk, {});
        return;
    }
    args.TraceLine(Format("open brd=%d cable=%d TimeSlots=%d %d", board, cable, base, fourth));
    XDS_ID id{};
    const int32_t idResult = hardware_->xds_id(BoardByte(board), &id);
    args.TraceLine(Format("xds_id RC=%d", idResult));
    if (idResult != 0) {
        return;
    }
    args.TraceLine("Board ID=" + IdText(id.id, sizeof id.id) +
                   " Version=" + IdText(id.version, sizeof id.version));
    const int32_t onResult = hardware_->xds_msg_on(BoardByte(board));
    args.TraceLine(Format("xds_msg_on RC=%d", onResult));
    if (onResult != 0) {
        return;
    }
    const int32_t ringResult =
        hardware_->xds_mc3_ring_mode(BoardByte(board), static_cast<uint8_t>(ringMode));
    args.TraceLine(Format("xds_mc3_ring_mode %d %d RC=%d", board, ringMode, ringResult));
    SendText(*hardware_, args, board, AmtelcoIdentificationText(idValue, idDigit));
    amtelco_.SetCableBoard(cable, board);
    amtelco_.AddAmtelcoBoard(board, cable);
    amtelco_.SetCableTimeslotBase(cable, base);
}

void CVesmarinManager::SocketCmdAMRESE(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t values[4] = {};
    if (!args.Int(values[0]).Int(values[1]).Int(values[2]).Int(values[3]).Enter()) {
        return;
    }
    args.TraceLine("ERROR RESET NOT IMPLEMENTED FOR AMTELCO");
}

// Modes 4 and 5 are set by two messages each; any other mode by the ring-mode call.
void CVesmarinManager::SocketCmdAMRIMO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t board = 0;
    int32_t mode = 0;
    if (!args.Int(board).Int(mode).Enter()) {
        return;
    }
    if (mode == kRingModeMessages1) {
        SendText(*hardware_, args, board, "SM1");
        SendText(*hardware_, args, board, "SR2");
    } else if (mode == kRingModeMessages2) {
        SendText(*hardware_, args, board, "SM2");
        SendText(*hardware_, args, board, "SR1");
    } else {
        const int32_t result =
            hardware_->xds_mc3_ring_mode(BoardByte(board), static_cast<uint8_t>(mode));
        args.TraceLine(Format("xds_mc3_ring_mode RC=%d", result));
    }
}

void CVesmarinManager::SocketCmdAMRQIN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t board = 0;
    int32_t number = 0;
    int32_t value = 0;
    if (!args.Int(board).Int(number).Int(value).Enter()) {
        return;
    }
    SendText(*hardware_, args, board, AmtelcoInformationRequestText(number, value));
}

// The first value is only logged: the cable prepared is always the node's one cable. The text
// goes out through the Amtelco worker.
void CVesmarinManager::SocketCmdAMPREP(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t first = 0;
    int32_t port1 = 0;
    int32_t port2 = 0;
    if (!args.Int(first).Int(port1).Int(port2).Enter()) {
        return;
    }
    int32_t board = 0;
    if (!amtelco_.GetCableBoard(kPreparedCable, &board)) {
        args.TraceLine(Format("SocketCmdAMPREP : cable=%d CABLE NOT FOUND", kPreparedCable));
        return;
    }
    const int32_t slot = amtelco_.GetAmtelcoBusTimeslot(port1, kPreparedCable);
    QueueAmtelcoParam(board, AmtelcoCrossConnectText(slot, slot, port1, port2));
}

void CVesmarinManager::SocketCmdAMTXIN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAmtelco);
    int32_t board = 0;
    int32_t value = 0;
    int32_t number = 0;
    if (!args.Int(board).Int(value).Int(number).Enter()) {
        return;
    }
    SendText(*hardware_, args, board, AmtelcoIdentificationText(value, number));
}

}  // namespace ruzd::node
