// The central server's time-slot routing commands: NRSCRO joins two devices over the boards'
// TDM bus (directly, from an MSI conference, or to and from a position of the Amtelco switch),
// NRSCUR takes a direct route down. Each device is a line device number with its device type;
// the port statuses tell the view who is routed to whom. Neither command replies, and a failed
// step undoes nothing done before it.

#include <cstdint>
#include <string>

#include "node/amtelco_texts.h"
#include "node/conference_listen.h"
#include "node/port_type.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/tdm_time_slots.h"

namespace ruzd::node {

using foundation::kDebugChannelAmtelco;
using foundation::kDebugChannelDti;
using platform::Format;

namespace {

// The device types only the routing commands know: a conference named by its number, and a
// transmit position of the Amtelco switch.
constexpr int32_t kConferenceType = 245;
constexpr int32_t kAmtelcoType = 999;

constexpr const char* kRoutedToAmtelco = "Routed to amtelco bus";
constexpr const char* kNoStationDevice = "ERROR: COULD NOT OPEN THIS DEVICE (dialogic\?\?\?)";
constexpr const char* kIdle = "Idle";

bool IsBusDeviceType(int32_t type) {
    return type == kPortTypeVoice || type == kPortTypeNetwork || type == kPortTypeStation ||
           type == kPortTypeGlobalCallIp || type == kPortTypeIp;
}

// What the other side of a route shows of a device of this type.
std::string RoutedText(int32_t type) {
    switch (type) {
        case kPortTypeVoice:
            return "Routed to voice channel";
        case kPortTypeNetwork:
            return "Routed to ISDN channel";
        case kPortTypeGlobalCallIp:
        case kPortTypeIp:
            return "Routed to IP channel";
        case kPortTypeStation:
            return "Routed to MSI channel";
        case kConferenceType:
            return "Routed to Conference";
        default:
            return kRoutedToAmtelco;
    }
}

// The same for a device that only listens.
std::string ListeningText(int32_t type) {
    std::string text = RoutedText(type);
    return "Listening" + text.substr(text.find(' '));
}

bool IsFullDuplex(uint8_t mode) {
    return (mode & 1) == 0;
}

}  // namespace

void CVesmarinManager::ReportRouteStatus(int32_t type, int32_t ldev, const std::string& text,
                                         int32_t value) {
    if (callback_ != nullptr) {
        callback_->OnVesmarinStatus(type, ldev, text, value);
    }
}

// A device of a bus type is found in its table; a conference or an Amtelco position stands for
// itself.
bool CVesmarinManager::FindRouteEnd(int32_t ldev, int32_t type, bool specialTypes, RouteEnd* end) {
    end->ldev = ldev;
    end->type = type;
    end->handle = ldev;
    if (IsBusDeviceType(type)) {
        return devices_.GetDeviceHandle(ldev, type, &end->handle) && end->handle != -1;
    }
    return specialTypes && (type == kConferenceType || type == kAmtelcoType);
}

// Reads the two devices and finds them; false, after the "UNKNOWN?" line (and, for NRSCRO, a
// station's error status), when one of them is not there or of a type the command refuses.
bool CVesmarinManager::FindRouteEnds(CommandArguments& args, const char* call, bool route,
                                     RouteEnd* end1, RouteEnd* end2) {
    int32_t dev1 = 0;
    int32_t type1 = 0;
    int32_t dev2 = 0;
    int32_t type2 = 0;
    if (!args.Line(dev1).Show(dev1).Int(type1).Int(dev2).Int(type2).Enter()) {
        return false;
    }
    // A conference as the second device is only ever reached from the Amtelco bus.
    const bool found = FindRouteEnd(dev1, type1, route, end1) &&
                       FindRouteEnd(dev2, type2, route, end2) &&
                       (type2 != kConferenceType || type1 == kAmtelcoType);
    if (found) {
        return true;
    }
    if (route && (type1 == kPortTypeStation || type2 == kPortTypeStation)) {
        ReportRouteStatus(kPortTypeStation, type1 == kPortTypeStation ? dev1 : dev2,
                          kNoStationDevice, 0);
    }
    args.TraceLine(Format("%s dev1=UNKNOWN? (%d)  dev2=UNKNOWN? (%d) RET=ERROR", call, dev1, dev2));
    return false;
}

void CVesmarinManager::SocketCmdNRSCRO(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    RouteEnd end1;
    RouteEnd end2;
    if (!FindRouteEnds(args, "nr_scroute", true, &end1, &end2)) {
        return;
    }
    if (end2.type == kAmtelcoType) {
        RouteWithAmtelco(args, end1, end2, true);
    } else if (end1.type == kAmtelcoType) {
        RouteWithAmtelco(args, end2, end1, false);
    } else if (end1.type == kConferenceType) {
        RouteFromConference(args, end1, end2);
    } else {
        RouteDirect(args, end1, end2);
    }
}

void CVesmarinManager::RouteDirect(CommandArguments& args, const RouteEnd& end1,
                                   const RouteEnd& end2) {
    uint8_t mode = 0;
    if (!args.Byte(mode).AllRead()) {
        return;
    }
    const int32_t result =
        hardware_->nr_scroute(end1.handle, end1.type, end2.handle, end2.type, mode);
    if (result != -1) {
        if (IsFullDuplex(mode)) {
            ReportRouteStatus(end1.type, end1.ldev, RoutedText(end2.type), end2.ldev);
            ReportRouteStatus(end2.type, end2.ldev, RoutedText(end1.type), end1.ldev);
        } else {
            ReportRouteStatus(end2.type, end2.ldev, ListeningText(end1.type), end1.ldev);
        }
    }
    args.TraceLine(Format("nr_scroute dev1=%d %d dev2=%d %d mode=%u RC=%d", end1.handle, end1.type,
                          end2.handle, end2.type, mode, result));
}

// The device only ever listens to the conference.
void CVesmarinManager::RouteFromConference(CommandArguments& args, const RouteEnd& conference,
                                           const RouteEnd& device) {
    uint8_t mode = 0;
    if (!args.Byte(mode).AllRead()) {
        return;
    }
    if (IsFullDuplex(mode)) {
        args.TraceLine("Route To Conference must be half duplex.");
    }
    const int32_t slot =
        ConferencePartySlot(conferences_, conference.ldev, device.ldev, device.type);
    if (slot == 0) {
        args.TraceLine(Format("dt_listen dev=UNKNOWN or confid=UNKNOWN (%d)", conference.ldev));
        return;
    }
    const int32_t result = ListenToSlot(device.handle, device.type, slot);
    args.TraceLine(Format("ListenXTimeSlot dev=%d ts=%d RES=%d", device.handle, slot, result));
    if (result == 0) {
        ReportRouteStatus(kConferenceType, conference.ldev, RoutedText(device.type), device.ldev);
    }
}

// `device` is the device (or conference) on the bus side and `position` the Amtelco transmit
// position; `toAmtelco` tells which of them the central server named first. The board is told
// to cross-connect the two slots unless the connection exists already; the device's input is
// connected to the Amtelco side in full duplex to the bus, and always from it.
void CVesmarinManager::RouteWithAmtelco(CommandArguments& args, const RouteEnd& device,
                                        const RouteEnd& position, bool toAmtelco) {
    int32_t cable = 0;
    int32_t rx = 0;
    uint8_t mode = 0;
    int32_t connectionExists = 0;
    if (!args.Int(cable).Int(rx).Byte(mode).Int(connectionExists).AllRead()) {
        return;
    }
    const int32_t tx = position.ldev;
    const std::string name = toAmtelco ? "dev1" : "dev2";
    const std::string ends = Format("%s=%d %d tx=%d rx=%d cable=%d", name.c_str(), device.handle,
                                    device.type, tx, rx, cable);
    const auto log = [&](const std::string& text) {
        args.TraceLineOn(kDebugChannelAmtelco, tx, text);
    };
    log(Format("nr_scroute (%s) %s Mode=%u ConnectionExists=%d",
               toAmtelco ? "To_Amtelco" : "From_Amtelco", ends.c_str(), mode, connectionExists));
    int32_t board = 0;
    if (!amtelco_.GetCableBoard(cable, &board)) {
        log("nr_scroute " + ends + " CABLE NOT FOUND");
        return;
    }
    const bool conference = device.type == kConferenceType;
    int32_t deviceSlot = 0;
    if (conference) {
        deviceSlot = ConferencePartySlot(conferences_, device.ldev, tx, kAmtelcoType);
        if (deviceSlot == 0) {
            log("nr_scroute ConfID: not found!");
            return;
        }
    } else {
        deviceSlot = telephony::GetXTimeSlot(device.handle, device.type, nullptr);
        if (deviceSlot == -1) {
            log(Format("nr_scroute GetXTimeSlot %s ERROR RC=%d", ends.c_str(), deviceSlot));
            return;
        }
    }
    const int32_t amtelcoSlot = amtelco_.GetAmtelcoBusTimeslot(tx, cable);
    if (connectionExists == 0) {
        QueueAmtelcoParam(board, AmtelcoCrossConnectText(amtelcoSlot, deviceSlot, tx, rx));
    }
    const bool fullDuplex = IsFullDuplex(mode);
    if (!conference && (fullDuplex || !toAmtelco)) {
        const int32_t result = ListenToSlot(device.handle, device.type, amtelcoSlot);
        log(
            Format("nr_scroute ListenXTimeSlot %s=%d %d scts=%d scxport=%d tx=%d rx=%d cable=%d%s "
                   "RC=%d",
                   name.c_str(), device.handle, device.type, deviceSlot, amtelcoSlot, tx, rx, cable,
                   result == -1 ? " ERROR" : "", result));
        if (result == -1) {
            return;
        }
    }
    const std::string deviceText = RoutedText(device.type);
    if (toAmtelco) {
        ReportRouteStatus(device.type, device.ldev, kRoutedToAmtelco, tx);
        if (fullDuplex) {
            ReportRouteStatus(kAmtelcoType, tx, deviceText, device.ldev);
        }
    } else {
        ReportRouteStatus(kAmtelcoType, tx, deviceText, device.ldev);
        if (fullDuplex) {
            ReportRouteStatus(device.type, device.ldev, kRoutedToAmtelco, tx);
        }
    }
}

void CVesmarinManager::SocketCmdNRSCUR(net::CClientStreamSocket* command) {
    CommandArguments args = Arguments(command, kDebugChannelDti);
    RouteEnd end1;
    RouteEnd end2;
    if (!FindRouteEnds(args, "nr_scunroute", false, &end1, &end2)) {
        return;
    }
    uint8_t mode = 0;
    if (!args.Byte(mode).AllRead()) {
        return;
    }
    const int32_t result =
        hardware_->nr_scunroute(end1.handle, end1.type, end2.handle, end2.type, mode);
    if (result != -1) {
        ReportRouteStatus(end1.type, end1.ldev, kIdle, 0);
        if (end2.ldev != end1.ldev) {
            ReportRouteStatus(end2.type, end2.ldev, kIdle, 0);
        }
    }
    args.TraceLine(Format("nr_scunroute dev1=%d %d dev2=%d %d mode=%u RC=%d", end1.handle,
                          end1.type, end2.handle, end2.type, mode, result));
}

}  // namespace ruzd::node
