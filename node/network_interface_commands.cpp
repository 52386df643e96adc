// The central server's network interface commands: open and close a trunk's time slot or a
// whole trunk, transmit alarms, event masks, signalling bits and modes, parameters, and one that
// lets a device listen to an MSI conference. DTOPEN only records the handle's line device and
// type; the other commands find their device among the network lines the call-control open
// fills. None replies or changes a port's status.

#include <cstdint>
#include <string>

#include "node/conference_listen.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"

namespace ruzd::node {

using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// A trunk carries this many time slots; both trunks and time slots count from 1.
constexpr int32_t kTimeSlotsPerTrunk = 30;

std::string NetworkDeviceName(int32_t ldev) {
    if (ldev >= kBoardLineDeviceBase) {
        return Format("dtiB%d", ldev - kBoardLineDeviceBase);
    }
    return Format("dtiB%dT%d", (ldev - 1) / kTimeSlotsPerTrunk + 1,
                  (ldev - 1) % kTimeSlotsPerTrunk + 1);
}

}  // namespace

// A time slot opened counts as an open channel; a trunk does not. The handle's line device and
// type are recorded whatever the open gave.
void CVesmarinManager::SocketCmdDTOPEN(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    if (!args.ShownLine(ldev).Enter()) {
        return;
    }
    const std::string name = NetworkDeviceName(ldev);
    const int32_t handle = hardware_->dt_open(ldev, name.c_str(), 0);
    if (handle != -1 && ldev < kBoardLineDeviceBase) {
        ++open_channels_;
    }
    devices_.HandleLdevs().Set(handle, ldev);
    devices_.PortTypes().Set(handle, kPortTypeNetwork);
    args.TraceLine(Format("dt_open name=%s RC=%d", name.c_str(), handle));
}

// The network line keeps its entry; only the handle's line device is forgotten.
void CVesmarinManager::SocketCmdDTCLOS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Enter() || !FindIsdnLine(args, ldev, "dt_close", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_close(handle);
    if (result != -1) {
        --open_channels_;
    }
    devices_.HandleLdevs().Erase(handle);
    args.TraceLine(Format("dt_close dev=%d RC=%d", handle, result));
}

void CVesmarinManager::SocketCmdDTXMAL(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    uint8_t alarm = 0;
    int32_t state = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Byte(alarm).NonNegative(state).Enter() ||
        !FindIsdnLine(args, ldev, "dt_xmitalrm", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_xmitalrm(handle, alarm, state);
    args.TraceLine(
        Format("dt_xmitalrm dev=%d type=%u state=%d RC=%d", handle, alarm, state, result));
}

void CVesmarinManager::SocketCmdDTSEVM(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t event = 0;
    uint16_t bitmask = 0;
    int32_t action = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Int(event).Word(bitmask).Int(action).Enter() ||
        !FindIsdnLine(args, ldev, "dt_setevtmsk", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_setevtmsk(handle, event, bitmask, action);
    args.TraceLine(Format("dt_setevtmsk dev=%d event=%d bitmask=%u action=%d RC=%d", handle, event,
                          bitmask, action, result));
}

void CVesmarinManager::SocketCmdDTSTSS(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    uint16_t bitmask = 0;
    int32_t action = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).Word(bitmask).Int(action).Enter() ||
        !FindIsdnLine(args, ldev, "dt_settssig", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_settssig(handle, bitmask, action);
    args.TraceLine(
        Format("dt_settssig dev=%d bitmask=%u action=%d RC=%d", handle, bitmask, action, result));
}

void CVesmarinManager::SocketCmdDTSSMO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t mode = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).NonNegative(mode).Enter() ||
        !FindIsdnLine(args, ldev, "dt_setsigmod", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_setsigmod(handle, mode);
    args.TraceLine(Format("dt_setsigmod dev=%d mode=%d RC=%d", handle, mode, result));
}

void CVesmarinManager::SocketCmdDTSPAR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    uint32_t parameter = 0;
    int32_t value = 0;
    int32_t handle = -1;
    if (!args.ShownLine(ldev).UInt(parameter).Int(value).Enter() ||
        !FindIsdnLine(args, ldev, "dt_setparm", &handle)) {
        return;
    }
    const int32_t result = hardware_->dt_setparm(handle, parameter, &value);
    args.TraceLine(
        Format("dt_setparm dev=%d param=%u value=%d RC=%d", handle, parameter, value, result));
}

// The device listens to the slot on which it was joined to the conference as a party.
void CVesmarinManager::SocketCmdDTLIST(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    int32_t ldev = 0;
    int32_t type = 0;
    int32_t conference = 0;
    if (!args.ShownLine(ldev).Int(type).Int(conference).Enter()) {
        return;
    }
    int32_t handle = -1;
    const bool found = devices_.GetDeviceHandle(ldev, type, &handle) && handle != -1;
    const int32_t slot = found ? ConferencePartySlot(conferences_, conference, ldev, type) : 0;
    if (slot == 0) {
        args.TraceLine(Format("dt_listen dev=UNKNOWN or confid=UNKNOWN (%d", conference));
        return;
    }
    const int32_t result = ListenToSlot(handle, type, slot);
    args.TraceLine(Format("ListenXTimeSlot dev=%d ts=%d RES=%d", handle, slot, result));
}

}  // namespace ruzd::node
