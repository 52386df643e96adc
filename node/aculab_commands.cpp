// The central server's Aculab commands: open an IP board of an Aculab card and the IP channels
// on it, the call control of a channel, the VMP context of an IP channel, DTMF handling, the
// re-opening and closing of every card, and the replay of digits through the relay-digit
// worker. Each first asks whether the Aculab path is there; the node never switches it on, so
// each ends with its "no aculab" line, and those the central server waits for answer -1.
//
// A command's IP flag chooses its table and log channel: 0 a network port (the network-line
// table, "Dt"), any other an IP port (the IP table, "Ip"). Only Aculab devices are taken from
// the tables, as their device types (17 and 18) tell: the same tables hold Dialogic devices.
// An IP board stands in the IP table under kBoardLineDeviceBase plus its number.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/debug_channel.h"
#include "foundation/threaded_message_box.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "telephony/aculab_cards.h"
#include "telephony/bus_resource_pool.h"
#include "telephony/sized_record.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/vendorapi/aculab.h"
#include "telephony/vmp_contexts.h"

namespace ruzd::node {

using foundation::kDebugChannelAculab;
using foundation::kDebugChannelDti;
using foundation::kDebugChannelIp;
using platform::Format;
using telephony::SizedRecord;

namespace {

constexpr const char* kIsdnNotImplemented = "Not yet implemented for ISDN.";
constexpr const char* kIdle = "Idle";
constexpr const char* kClosed = "Closed";
constexpr const char* kBusy = "Busy";
constexpr int32_t kFailed = -1;
// A replay for a channel behind the Amtelco switchboard.
constexpr int32_t kAmtelcoPosition = 999;
// The IP boards of a card of IP net ports: two for each of its Prosody modules.
constexpr int32_t kIpBoardsPerModule = 2;
constexpr const char* kWarningCaption = "Pelwix";

bool IsIp(int32_t ipFlag) {
    return ipFlag != 0;
}

foundation::EDebugChannelType ChannelOf(int32_t ipFlag) {
    return IsIp(ipFlag) ? kDebugChannelIp : kDebugChannelDti;
}

int32_t PortTypeOf(int32_t ipFlag) {
    return IsIp(ipFlag) ? kPortTypeIp : kPortTypeAculabDti;
}

// A warning about the cards' configuration: queued for whoever watches the node while the
// command goes on, one box after another with the node's other boxes.
void ShowConfigurationWarning(const std::string& text) {
    foundation::ThreadedMessageBox(0, text, kWarningCaption,
                                   platform::kMbOk | platform::kMbIconWarning, {});
}

// Reads a command's byte count and bytes into the record: the central server's bytes reach it
// only when they are exactly the record's size, else it stays zeroed. A negative count refuses
// the command; without a count there are no bytes to read.
template <typename Record>
void ReadRecordBytes(CommandArguments& args, Record* record) {
    int32_t count = 0;
    args.NonNegative(count);
    if (count > 0) {
        args.Bytes(reinterpret_cast<uint8_t*>(record), sizeof(Record));
    }
}

template <typename Record>
ByteView BytesOf(const Record& record) {
    return {reinterpret_cast<const uint8_t*>(&record), sizeof(Record)};
}

// Where IP board `board` is: the card that holds it and the net port of the card it opens.
struct IpBoardPlace {
    int32_t cardId = 0;
    std::string serial;
    int32_t portIndex = 0;
};

// The IP boards are counted over the cards of IP net ports in the list's order, two a Prosody
// module; a board in the upper half of its card's boards opens the card's second net port.
std::optional<IpBoardPlace> FindIpBoard(int32_t board) {
    telephony::AculabCardList& cards = telephony::AculabCards();
    std::lock_guard hold(cards.Lock());
    int32_t base = 0;
    for (size_t i = 0; i < cards.Size(); ++i) {
        const telephony::CAculabCard& card = cards.At(i);
        if (card.GetNetPortType() != ACU_NETPORT_PROSODY_IP) {
            continue;
        }
        const int32_t boards = kIpBoardsPerModule * card.GetProsodyModuleCount();
        if (board > base && board <= base + boards) {
            const int32_t k = board - base - 1;
            const int32_t ports = card.GetNetPortCount();
            // A card that reports no net ports opens its first one.
            const int32_t half = ports > 0 ? boards / ports : boards;
            return IpBoardPlace{card.GetCardId(), card.GetSerialNumber(), k >= half ? 1 : 0};
        }
        base += boards;
    }
    return std::nullopt;
}

}  // namespace

bool CVesmarinManager::AculabAvailable(CommandArguments& args, const std::string& missing) {
    if (hardware_ && hardware_->IsAculabAvailable()) {
        return true;
    }
    args.TraceLine(missing);
    return false;
}

bool CVesmarinManager::FindAculabDevice(int32_t ldev, int32_t ipFlag, int32_t* handle) {
    DeviceTable& table = IsIp(ipFlag) ? devices_.Ip() : devices_.Network();
    std::lock_guard hold(table.Lock());
    int32_t found = -1;
    if (!table.Get(ldev, &found)) {
        return false;
    }
    int32_t type = -1;
    devices_.PortTypes().Get(found, &type);
    if (type != PortTypeOf(ipFlag)) {
        return false;
    }
    *handle = found;
    return true;
}

bool CVesmarinManager::EnterOnAculabChannel(CommandArguments& args, int32_t& ldev, int32_t& ipFlag,
                                            const std::function<void(CommandArguments&)>& more,
                                            const char* call, int32_t* handle) {
    args.Line(ldev).Int(ipFlag).Channel(ChannelOf(ipFlag));
    if (more) {
        more(args);
    }
    if (!args.Enter() || !AculabAvailable(args)) {
        return false;
    }
    if (!FindAculabDevice(ldev, ipFlag, handle)) {
        args.TraceLine(std::string(call) + " ldev=UNKNOWN RET=ERROR");
        return false;
    }
    return true;
}

template <typename Record>
bool CVesmarinManager::EnterWithAculabRecord(CommandArguments& args, int32_t& ldev, int32_t& ipFlag,
                                             const char* call, int32_t* handle, Record* record) {
    if (!EnterOnAculabChannel(
            args, ldev, ipFlag, [&](CommandArguments& a) { ReadRecordBytes(a, record); }, call,
            handle)) {
        return false;
    }
    record->size = sizeof *record;
    if constexpr (requires { record->vmprx; }) {
        record->vmprx = aculab_.GetVMPrxId(*handle);
        record->vmptx = aculab_.GetVMPtxId(*handle);
    }
    return true;
}

void CVesmarinManager::TraceAculabCall(CommandArguments& args, const char* call, int32_t handle,
                                       int32_t callHandle, int32_t result) {
    args.TraceLine(Format("%s ldev=%d handle=%d rc=%d", call, handle, callHandle, result));
}

void CVesmarinManager::SocketCmdCAOPPO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t board = 0;
    int32_t ipFlag = 0;
    if (!args.Int(board).Int(ipFlag).Channel(ChannelOf(ipFlag)).Enter()) {
        return;
    }
    if (!IsIp(ipFlag)) {
        args.TraceLine(kIsdnNotImplemented);
        return;
    }
    if (!AculabAvailable(
            args, Format("IP board%d could not be opened because no aculab installed.", board))) {
        return;
    }
    const std::optional<IpBoardPlace> place = FindIpBoard(board);
    if (!place) {
        args.TraceLine(Format("IP board%d not enough cards to open IP board.", board));
        return;
    }
    CALL_OPEN_PORT_PARMS open = SizedRecord<CALL_OPEN_PORT_PARMS>();
    open.card_id = place->cardId;
    open.port_ix = place->portIndex;
    const int32_t ldev = kBoardLineDeviceBase + board;
    const int32_t result = hardware_->call_open_port(&open, 0, 0);
    TraceAculabCall(args, "call_open_port", ldev, open.port_id, result);
    if (result != 0) {
        args.TraceLine(Format("IP board%d could not be opened.", board));
        return;
    }
    {
        telephony::AculabCardList& cards = telephony::AculabCards();
        std::lock_guard hold(cards.Lock());
        if (telephony::CAculabCard* card = telephony::FindAculabCardId(place->serial)) {
            card->SetNetPort(place->portIndex, open.port_id);
        }
    }
    const int32_t handle = aculab_.AllocateAculabHandle(place->cardId, open.port_id, 0);
    {
        std::lock_guard hold(devices_.Ip().Lock());
        devices_.Ip().Set(ldev, handle);
        devices_.HandleLdevs().Set(handle, ldev);
        devices_.PortTypes().Set(handle, kPortTypeIp);
    }

    // The node's bus runs A-law, and its H.323 calls start fast.
    IPT_MEDIA_DEFAULTS_PARMS media = SizedRecord<IPT_MEDIA_DEFAULTS_PARMS>();
    media.card_id = place->cardId;
    if (hardware_->ipt_card_get_media_defaults(&media) == 0 &&
        media.tdm_encoding != IPT_TDM_ENCODING_ALAW) {
        const char* text = "IP Board not Configured as ALaw TDM encoding!";
        args.TraceLine(text);
        ShowConfigurationWarning(text);
    }
    IPT_PROTOCOL_DEFAULTS_PARMS protocol = SizedRecord<IPT_PROTOCOL_DEFAULTS_PARMS>();
    protocol.protocol = ACU_IPTEL_PROTOCOL_H323;
    protocol.card_id = place->cardId;
    if (hardware_->ipt_get_protocol_defaults(&protocol) == 0 &&
        protocol.fast_start != IPT_FAST_START_NODE_SETTING) {
        const char* text = "Aculab IP H323 not Configured without Fast Start!";
        args.TraceLine(text);
        ShowConfigurationWarning(text);
    }
}

void CVesmarinManager::SocketCmdCAPOIN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t board = 0;
    int32_t ipFlag = 0;
    if (!args.Int(board).Int(ipFlag).Channel(ChannelOf(ipFlag)).Enter()) {
        return;
    }
    int32_t handle = -1;
    if (!AculabAvailable(args)) {
        messages_.AculabPortInfo(*command, board, ipFlag, kFailed, std::nullopt);
        return;
    }
    if (!FindAculabDevice(kBoardLineDeviceBase + board, ipFlag, &handle)) {
        args.TraceLine("call_port_info ldev=UNKNOWN RET=ERROR");
        messages_.AculabPortInfo(*command, board, ipFlag, kFailed, std::nullopt);
        return;
    }
    CALL_PORT_INFO_PARMS info = SizedRecord<CALL_PORT_INFO_PARMS>();
    info.port_id = aculab_.GetAculabPortId(handle);
    const int32_t result = hardware_->call_port_info(&info);
    TraceAculabCall(args, "call_port_info", handle, info.port_id, result);
    messages_.AculabPortInfo(*command, board, ipFlag, result, BytesOf(info));
}

void CVesmarinManager::SocketCmdCAOPTS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t board = 0;
    int32_t slot = 0;
    int32_t ipFlag = 0;
    if (!args.Line(ldev).Int(board).Int(slot).Int(ipFlag).Channel(ChannelOf(ipFlag)).Enter()) {
        return;
    }
    if (!IsIp(ipFlag)) {
        args.TraceLine(kIsdnNotImplemented);
        return;
    }
    if (!AculabAvailable(
            args, Format("IP Channel%d could not be opened because no aculab installed.", ldev))) {
        return;
    }
    int32_t boardHandle = -1;
    if (!FindAculabDevice(kBoardLineDeviceBase + board, ipFlag, &boardHandle)) {
        args.TraceLine(
            Format("IP Channel%d could not be opened because no board not found.", ldev));
        return;
    }
    const int32_t portId = aculab_.GetAculabPortId(boardHandle);
    const int32_t card = aculab_.GetAculabCardIndex(boardHandle);

    std::lock_guard hold(devices_.Ip().Lock());
    // A channel opened again is closed first, so that its media is not lost.
    if (int32_t open = -1; FindAculabDevice(ldev, ipFlag, &open)) {
        CloseAculabChannel(ldev, open);
    }
    const int32_t handle = aculab_.AllocateAculabHandle(card, portId, slot);
    if (int32_t owner = -1; devices_.HandleLdevs().Get(handle, &owner)) {
        args.TraceLine(
            Format("IP Channel%d could not be opened because its time slot is IP "
                   "Channel%d's.",
                   ldev, owner));
        return;
    }
    devices_.Ip().Set(ldev, handle);
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeIp);
    const int32_t result = telephony::Prepare_port_forVMP(MediaTables(), ldev);
    TraceAculabCall(args, "Prepare_port_forVMP", handle, 0, result);
    ++open_channels_;
    ReportPortStatus(kPortTypeIp, ldev, kIdle);
}

int32_t CVesmarinManager::CloseAculabChannel(int32_t ldev, int32_t handle) {
    const int32_t result = telephony::ReleaseEchoCancel(MediaTables(), ldev);
    // Contexts still reserved would stay behind in the media library once the handle is gone.
    if (aculab_.GetVMPrxId(handle) != nullptr || aculab_.GetVMPtxId(handle) != nullptr ||
        aculab_.GetTDMrxId(handle) != nullptr || aculab_.GetTDMtxId(handle) != nullptr) {
        telephony::DestroyVMPContext(MediaTables(), ldev);
    }
    aculab_.ReleaseAculabHandle(handle);
    devices_.Ip().Erase(ldev);
    devices_.HandleLdevs().Erase(handle);
    devices_.PortTypes().Erase(handle);
    --open_channels_;
    ReportPortStatus(kPortTypeIp, ldev, kClosed);
    return result;
}

void CVesmarinManager::SocketCmdCACLTS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    if (!args.Line(ldev).Int(ipFlag).Channel(ChannelOf(ipFlag)).Enter() ||
        !AculabAvailable(
            args, Format("IP Channel%d could not be closed because no aculab installed.", ldev))) {
        return;
    }
    DeviceTable& table = IsIp(ipFlag) ? devices_.Ip() : devices_.Network();
    std::lock_guard hold(table.Lock());
    int32_t handle = -1;
    if (!IsIp(ipFlag) || !FindAculabDevice(ldev, ipFlag, &handle)) {
        args.TraceLine(Format("IP Channel%d could not be closed because not found.", ldev));
        return;
    }
    const int32_t result = CloseAculabChannel(ldev, handle);
    args.TraceLine(Format("ReleaseEchoCancel ldev=%d RET=%d", handle, result));
}

template <typename Record>
void CVesmarinManager::OpenAculabCall(net::CClientStreamSocket* command, const char* call,
                                      uint8_t direction,
                                      int32_t (telephony::CHardware::*open)(Record*)) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    int32_t handle = -1;
    Record record{};
    if (!EnterWithAculabRecord(args, ldev, ipFlag, call, &handle, &record)) {
        return;
    }
    record.net = aculab_.GetAculabPortId(handle);
    record.ts = aculab_.GetAculabTimeslot(handle);
    record.cnf = ACU_CALL_ASYNC;
    // The call's events name the channel by its handle.
    record.context = handle;
    const int32_t result = (hardware_.get()->*open)(&record);
    TraceAculabCall(args, call, handle, record.handle, result);
    if (result != 0) {
        return;
    }
    aculab_.SetAculabCallHandle(handle, direction, record.handle);
    if (direction == AculabHandleTables::kOutgoingCall) {
        ReportPortStatus(PortTypeOf(ipFlag), ldev, kBusy);
    }
}

void CVesmarinManager::SocketCmdCAOPIN(net::CClientStreamSocket* command) {
    OpenAculabCall(command, "call_openin", AculabHandleTables::kIncomingCall,
                   &telephony::CHardware::call_openin);
}

void CVesmarinManager::SocketCmdCAOPOU(net::CClientStreamSocket* command) {
    OpenAculabCall(command, "call_openout", AculabHandleTables::kOutgoingCall,
                   &telephony::CHardware::call_openout);
}

void CVesmarinManager::SocketCmdCADISC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    int32_t handle = -1;
    CALL_DISCONNECT_PARMS record = SizedRecord<CALL_DISCONNECT_PARMS>();
    if (!EnterOnAculabChannel(
            args, ldev, ipFlag,
            [&](CommandArguments& a) { a.Long(record.handle).Int(record.cause).Int(record.raw); },
            "call_disconnect", &handle)) {
        return;
    }
    const int32_t result = hardware_->call_disconnect(handle, &record);
    TraceAculabCall(args, "call_disconnect", handle, record.handle, result);
}

void CVesmarinManager::RunOnAculabCall(net::CClientStreamSocket* command, const char* call,
                                       int32_t (telephony::CHardware::*run)(int32_t, int32_t)) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    int32_t handle = -1;
    int32_t callHandle = 0;
    if (!EnterOnAculabChannel(
            args, ldev, ipFlag, [&](CommandArguments& a) { a.Int(callHandle); }, call, &handle)) {
        return;
    }
    const int32_t result = (hardware_.get()->*run)(handle, callHandle);
    TraceAculabCall(args, call, handle, callHandle, result);
}

void CVesmarinManager::SocketCmdCAINRI(net::CClientStreamSocket* command) {
    RunOnAculabCall(command, "call_incoming_ringing", &telephony::CHardware::call_incoming_ringing);
}

void CVesmarinManager::SocketCmdCAACCE(net::CClientStreamSocket* command) {
    RunOnAculabCall(command, "call_accept", &telephony::CHardware::call_accept);
}

void CVesmarinManager::SocketCmdCARELE(net::CClientStreamSocket* command) {
    RunOnAculabCall(command, "call_release", &telephony::CHardware::call_release);
}

void CVesmarinManager::SocketCmdXCGETC(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    int32_t handle = -1;
    CALL_GETCAUSE_PARMS record = SizedRecord<CALL_GETCAUSE_PARMS>();
    const bool found = EnterOnAculabChannel(
        args, ldev, ipFlag, [&](CommandArguments& a) { a.Int(record.handle); }, "xcall_getcause",
        &handle);
    if (!found) {
        // A refused command has had its answer already.
        if (args.AllRead()) {
            messages_.AculabCallCause(*command, ldev, ipFlag, kFailed, std::nullopt);
        }
        return;
    }
    const int32_t result = hardware_->xcall_getcause(handle, &record);
    TraceAculabCall(args, "xcall_getcause", handle, record.handle, result);
    messages_.AculabCallCause(*command, ldev, ipFlag, result,
                              result == 0 ? std::optional(BytesOf(record)) : std::nullopt);
}

void CVesmarinManager::SocketCmdACOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAculab);
    if (!args.Enter() || !AculabAvailable(args)) {
        return;
    }
    if (IsRelayDigitThreadRunning()) {
        EndRelayDigitThread();
    }
    telephony::CloseAllAculabCards();
    // A pool built again on one not freed would hand out every slot twice.
    telephony::FreeBusResources();
    const bool opened = telephony::SystemSnapShot();
    telephony::PrepareBusResourcesForAculabRouting();
    args.TraceLine(Format("SystemSnapShot cards=%zu RET=%d", telephony::AculabCards().Size(),
                          opened ? 0 : kFailed));
}

void CVesmarinManager::SocketCmdACCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelAculab);
    if (!args.Enter() || !AculabAvailable(args)) {
        return;
    }
    if (IsRelayDigitThreadRunning()) {
        EndRelayDigitThread();
    }
    telephony::CloseAllAculabCards();
    telephony::FreeBusResources();
    args.TraceLine(Format("CloseAllAculabCards cards=%zu", telephony::AculabCards().Size()));
}

template <typename Record>
void CVesmarinManager::RunXCall(net::CClientStreamSocket* command, const char* call,
                                int32_t (telephony::CHardware::*run)(int32_t, Record*)) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t ipFlag = 0;
    int32_t handle = -1;
    Record record{};
    if (!EnterWithAculabRecord(args, ldev, ipFlag, call, &handle, &record)) {
        return;
    }
    const int32_t result = (hardware_.get()->*run)(handle, &record);
    TraceAculabCall(args, call, handle, record.handle, result);
}

void CVesmarinManager::SocketCmdXCINRI(net::CClientStreamSocket* command) {
    RunXCall(command, "xcall_incoming_ringing", &telephony::CHardware::xcall_incoming_ringing);
}

void CVesmarinManager::SocketCmdXCACCE(net::CClientStreamSocket* command) {
    RunXCall(command, "xcall_accept", &telephony::CHardware::xcall_accept);
}

void CVesmarinManager::SocketCmdCAOPIP(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    int32_t board = 0;
    int32_t protocol = 0;
    if (!args.Int(board).MayEndHere().Int(protocol).Enter() || !AculabAvailable(args)) {
        return;
    }
    if (protocol == 0) {
        protocol = ACU_IPTEL_PROTOCOL_H323;
    }
    // The board is looked up first: a port opened for no board would be lost.
    int32_t boardHandle = -1;
    if (!FindAculabDevice(kBoardLineDeviceBase + board, 1, &boardHandle)) {
        args.TraceLine(Format("IP Dev for board%d not found.", board));
        return;
    }
    CALL_OPEN_IPTEL_PORT_PARMS open = SizedRecord<CALL_OPEN_IPTEL_PORT_PARMS>();
    open.protocol = protocol;
    const int32_t result = hardware_->call_open_iptel_port(&open, 0);
    TraceAculabCall(args, "call_open_iptel_port", boardHandle, open.port_id, result);
    if (result != 0) {
        args.TraceLine(Format("IP board%d could not be opened.", board));
        return;
    }
    aculab_.SetAculabPortId(boardHandle, open.port_id);
}

void CVesmarinManager::SocketCmdSMVMPR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }
    // A central server that asked waits for the answer, whatever stops the reservation.
    int32_t result = kFailed;
    int32_t handle = -1;
    if (!AculabAvailable(
            args,
            Format("IP Channel%d could not be reserved because no aculab installed.", ldev))) {
    } else if (!FindAculabDevice(ldev, 1, &handle)) {
        args.TraceLine(Format("IP Channel%d could not be reserved because not found.", ldev));
    } else if (aculab_.GetVMPrxId(handle) != nullptr && aculab_.GetVMPtxId(handle) != nullptr) {
        result = 0;
        args.TraceLine(Format("ReserveVMPContext ldev=%d already reserved", handle));
    } else {
        result = telephony::ReserveVMPContext(MediaTables(), ldev);
        args.TraceLine(Format("ReserveVMPContext ldev=%d RET=%d", handle, result));
    }
    messages_.VmpReserveResult(*command, ldev, result);
}

void CVesmarinManager::SocketCmdSMVMPD(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter() ||
        !AculabAvailable(
            args,
            Format("IP Channel%d could not be destroyed because no aculab installed.", ldev))) {
        return;
    }
    int32_t handle = -1;
    if (!FindAculabDevice(ldev, 1, &handle)) {
        args.TraceLine(Format("IP Channel%d could not be destroyed because not found.", ldev));
        return;
    }
    const int32_t result = telephony::DestroyVMPContext(MediaTables(), ldev);
    args.TraceLine(Format("DestroyVMPContext ldev=%d RET=%d", handle, result));
}

void CVesmarinManager::SocketCmdIPSDTM(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    int32_t ldev = 0;
    IPT_DTMF_HANDLING_PARMS record{};
    args.ShownLine(ldev);
    ReadRecordBytes(args, &record);
    if (!args.Enter() || !AculabAvailable(args)) {
        return;
    }
    int32_t handle = -1;
    if (!FindAculabDevice(ldev, 1, &handle)) {
        args.TraceLine(Format("IP Channel%d could not be found.", ldev));
        return;
    }
    record.size = sizeof record;
    const int32_t result = hardware_->ipt_set_dtmf_handling(handle, &record);
    TraceAculabCall(args, "ipt_set_dtmf_handling", handle, record.handle, result);
}

void CVesmarinManager::SocketCmdSMREDI(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelIp);
    CRelayDigitsParam record;
    args.Line(record.device).Int(record.deviceType).String(record.digits);
    if (record.deviceType == kAmtelcoPosition) {
        args.Int(record.amtelcoReceive)
            .Int(record.amtelcoCable)
            .Int(record.cableDevice)
            .Int(record.cableDeviceType);
    }
    args.Channel(static_cast<foundation::EDebugChannelType>(PortTypeToLogChannel(
        record.deviceType == kAmtelcoPosition ? record.cableDeviceType : record.deviceType)));
    if (!args.Enter() || !AculabAvailable(args)) {
        return;
    }
    if (record.deviceType == kAmtelcoPosition) {
        args.TraceLine(
            Format("AmtelcoRx = %d AmtelcoCableId = %d OrigChannelConnectedToAmtelco = "
                   "%d OrigChannelTypeConnectedToAmtelco = %d",
                   record.amtelcoReceive, record.amtelcoCable, record.cableDevice,
                   record.cableDeviceType));
        int32_t handle = -1;
        if (!devices_.GetDeviceHandle(record.cableDevice, record.cableDeviceType, &handle)) {
            args.TraceLine(
                Format("Error in Replay digits : Original Device Connected To Amtelco "
                       "Not found for Channel %d Type %d",
                       record.cableDevice, record.cableDeviceType));
            return;
        }
        record.cableDevice = handle;
    } else {
        int32_t handle = -1;
        if (!devices_.GetDeviceHandle(record.device, record.deviceType, &handle)) {
            args.TraceLine(
                Format("Error in Replay digits : Device Not found for Channel %d Type %d",
                       record.device, record.deviceType));
            return;
        }
        record.device = handle;
    }
    QueueRelayDigitsParam(std::move(record));
}

}  // namespace ruzd::node
