// The conference commands the station boards and the conference boards' DSPs share: establish
// and delete a conference, add, remove and change a party. The central server names the device
// first (a station board's line device number, a DSP's index) and the conference by its own
// number, except when establishing (conference first). A party whose selector is 16 is a bus
// time slot: the node fills in the slot its device transmits on, or for an Amtelco position the
// cable's slot of that position. A conference made without parties holds a placeholder party
// until the first party joins or the conference goes.

#include <cstdint>
#include <string>
#include <vector>

#include "node/command_arguments.h"
#include "node/vesmarin_manager.h"
#include "platform/text.h"
#include "telephony/dcb_resources.h"
#include "telephony/tdm_time_slots.h"

namespace ruzd::node {

using platform::Format;

namespace {

// The selector of a party that is a bus time slot.
constexpr int32_t kBusSlotSelector = 16;
constexpr int32_t kAmtelcoPositionType = 999;
// The placeholder party: a bus slot nobody transmits on.
constexpr int32_t kPlaceholderSlot = 384;
constexpr int32_t kPlaceholderAttribute = 1;
// A conference holds at most this many parties as the central server sends them.
constexpr int32_t kMostPartiesAtOnce = 4;

foundation::EDebugChannelType LogChannel(const ConferenceCalls& calls) {
    return calls.device == ConferenceCalls::Device::kStationBoard
               ? foundation::kDebugChannelMsi
               : foundation::kDebugChannelGeneral;
}

std::string Call(const ConferenceCalls& calls, const char* name) {
    return std::string(calls.prefix) + "_" + name;
}

}  // namespace

// The calls of a family, by the prefix of their names.
#define RUZD_CONFERENCE_CALLS(device, prefix)                                                    \
    ConferenceCalls {                                                                            \
        device, #prefix, &telephony::CHardware::prefix##_estconf,                                \
            &telephony::CHardware::prefix##_addtoconf,                                           \
            &telephony::CHardware::prefix##_remfromconf, &telephony::CHardware::prefix##_setcde, \
            &telephony::CHardware::prefix##_delconf                                              \
    }

const ConferenceCalls& ConferenceCalls::StationBoards() {
    static const ConferenceCalls calls = RUZD_CONFERENCE_CALLS(Device::kStationBoard, ms);
    return calls;
}

const ConferenceCalls& ConferenceCalls::Dsps() {
    static const ConferenceCalls calls = RUZD_CONFERENCE_CALLS(Device::kDsp, dcb);
    return calls;
}

#undef RUZD_CONFERENCE_CALLS

// A station board is found in the station table (a board whose open failed stands there with
// handle -1); a DSP by its index in the DSP list.
bool CVesmarinManager::FindConferenceDevice(const ConferenceCalls& calls, int32_t device,
                                            int32_t* handle) {
    if (calls.device == ConferenceCalls::Device::kStationBoard) {
        return devices_.Station().Get(device, handle);
    }
    return telephony::GetDCBDevice(device, handle);
}

// The device and the vendor's id of a conference; false, after "<call> ldev=UNKNOWN or
// confid=UNKNOWN", when either is missing.
bool CVesmarinManager::FindConference(CommandArguments& args, const ConferenceCalls& calls,
                                      const std::string& call, int32_t device, int32_t conference,
                                      int32_t* handle, int32_t* id) {
    if (FindConferenceDevice(calls, device, handle) &&
        conferences_.GetConferenceId(conference, id)) {
        return true;
    }
    args.TraceLine(
        Format("%s ldev=UNKNOWN or confid=UNKNOWN (%d) RET=ERROR", call.c_str(), conference));
    return false;
}

// The slot the party's device transmits on, 0 when it cannot be had; false, after "ERROR
// DeviceType NOT FOUND", when the device is not open.
bool CVesmarinManager::PartyTransmitSlot(CommandArguments& args, const ConferencePartyName& party,
                                         int32_t* slot) {
    int32_t handle = -1;
    if (!devices_.GetDeviceHandle(party.ldev, party.type, &handle)) {
        args.TraceLine("ERROR DeviceType NOT FOUND");
        return false;
    }
    const int32_t transmit = telephony::GetXTimeSlot(handle, party.type, nullptr);
    const int32_t result = transmit < 0 ? -1 : 0;
    *slot = transmit < 0 ? 0 : transmit;
    args.TraceLine(Format("GetXTimeSlot  dev=%d ts=%d RES=%d", handle, *slot, result));
    return true;
}

void CVesmarinManager::RemovePlaceholder(CommandArguments& args, const ConferenceCalls& calls,
                                         int32_t handle, int32_t id, int32_t conference,
                                         int32_t attribute) {
    conferences_.SetPlaceholder(conference, false);
    MS_CDT placeholder{kPlaceholderSlot, kBusSlotSelector, attribute};
    const int32_t result = (hardware_.get()->*calls.remfromconf)(handle, id, &placeholder);
    const std::string call = Call(calls, "remfromconf");
    if (calls.device == ConferenceCalls::Device::kStationBoard) {
        args.TraceLine(
            Format("%s (dummy) dev=%d iConfID=%d RES=%d", call.c_str(), handle, id, result));
    } else {
        args.TraceLine(
            Format("%s (dummy) dev=%d iConfID=%d (%d)  chansel=%d channum=%d "
                   "chanattr=%d RES=%d",
                   call.c_str(), handle, id, conference, placeholder.chan_sel, placeholder.chan_num,
                   attribute, result));
    }
    if (result != 0) {
        args.TraceLine(call + " error = " + hardware_->ATDV_ERRMSGP(handle));
    }
}

// Conference, device, conference attribute, party count, then per party its line device
// number, selector, attribute and device type.
void CVesmarinManager::EstablishConference(net::CClientStreamSocket* command,
                                           const ConferenceCalls& calls) {
    CommandArguments args = Arguments(command, LogChannel(calls));
    int32_t conference = 0;
    int32_t device = 0;
    int32_t attribute = 0;
    int32_t count = 0;
    args.Int(conference).ShownLine(device).Int(attribute).Int(count);
    const std::string call = Call(calls, "estconf");
    if (count < 0 || count > kMostPartiesAtOnce) {
        if (args.Enter()) {
            args.TraceLine(Format("%s count=%d RET=ERROR", call.c_str(), count));
        }
        return;
    }
    std::vector<ConferencePartyName> names(static_cast<size_t>(count));
    for (ConferencePartyName& name : names) {
        args.Int(name.ldev).Int(name.selector).Int(name.attribute).Int(name.type);
    }
    if (!args.Enter()) {
        return;
    }

    std::vector<MS_CDT> parties;
    for (const ConferencePartyName& name : names) {
        MS_CDT party{name.ldev, name.selector, name.attribute};
        if (name.selector == kBusSlotSelector && !PartyTransmitSlot(args, name, &party.chan_num)) {
            return;
        }
        parties.push_back(party);
    }
    int32_t handle = -1;
    if (!FindConferenceDevice(calls, device, &handle)) {
        args.TraceLine(call + " ldev=UNKNOWN RET=ERROR");
        return;
    }
    conferences_.SetPlaceholder(conference, parties.empty());
    if (parties.empty()) {
        parties.push_back({kPlaceholderSlot, kBusSlotSelector, kPlaceholderAttribute});
    }
    const MS_CDT first = parties.front();
    int32_t id = 0;
    const int32_t result = (hardware_.get()->*calls.estconf)(
        &handle, parties.data(), static_cast<int32_t>(parties.size()), attribute, &id);
    if (result == 0) {
        std::lock_guard lock(conferences_.Lock());
        conferences_.SetConferenceId(conference, id);
        for (size_t i = 0; i < names.size(); ++i) {
            conferences_.SetPartyTimeslot(conference, names[i].ldev, names[i].type,
                                          parties[i].chan_attr);
        }
    }
    const std::string tail = calls.device == ConferenceCalls::Device::kStationBoard
                                 ? std::to_string(conference)
                                 : hardware_->ATDV_ERRMSGP(handle);
    args.TraceLine(
        Format("%s dev=%d pCdt0.channum=%d pCdt0.chansel=%d pCdt0.chanattr=%d "
               "pCdt0.chanlts=%d confid=%d(%s) RC=%d",
               call.c_str(), handle, first.chan_num, first.chan_sel, first.chan_attr,
               parties.front().chan_attr, id, tail.c_str(), result));
}

// Device, then conference. The conference is forgotten whatever the board answers: the central
// server will not name it again.
void CVesmarinManager::DeleteConference(net::CClientStreamSocket* command,
                                        const ConferenceCalls& calls) {
    CommandArguments args = Arguments(command, LogChannel(calls));
    int32_t device = 0;
    int32_t conference = 0;
    if (!args.ShownLine(device).Int(conference).Enter()) {
        return;
    }
    const std::string call = Call(calls, "delconf");
    int32_t handle = -1;
    int32_t id = 0;
    if (!FindConference(args, calls, call, device, conference, &handle, &id)) {
        return;
    }
    if (conferences_.HasPlaceholder(conference)) {
        RemovePlaceholder(args, calls, handle, id, conference, 0);
    }
    const int32_t result = (hardware_.get()->*calls.delconf)(handle, id);
    conferences_.DeleteConference(conference);
    args.TraceLine(
        Format("%s dev=%d iConfID=%d (%d) RES=%d", call.c_str(), handle, id, conference, result));
    if (result != 0) {
        args.TraceLine(call + " error = " + hardware_->ATDV_ERRMSGP(handle));
    }
}

// Device, conference, selector, party line device number, attribute, device type, and for an
// Amtelco position on the bus its cable.
void CVesmarinManager::ChangeConferenceParty(net::CClientStreamSocket* command,
                                             const ConferenceCalls& calls, PartyChange change) {
    CommandArguments args = Arguments(command, LogChannel(calls));
    int32_t device = 0;
    int32_t conference = 0;
    ConferencePartyName name;
    args.ShownLine(device).Int(conference).Int(name.selector).Int(name.ldev).Int(name.attribute);
    args.Int(name.type);
    const bool onBus = name.selector == kBusSlotSelector;
    if (onBus && name.type == kAmtelcoPositionType) {
        args.Int(name.cable);
    }
    if (!args.Enter()) {
        return;
    }
    const std::string call = Call(calls, change == PartyChange::kAdd      ? "addtoconf"
                                         : change == PartyChange::kRemove ? "remfromconf"
                                                                          : "setcde");
    int32_t handle = -1;
    int32_t id = 0;
    if (!FindConference(args, calls, call, device, conference, &handle, &id)) {
        return;
    }
    MS_CDT party{change == PartyChange::kSetAttribute ? 0 : name.ldev, name.selector,
                 name.attribute};
    if (onBus && name.type == kAmtelcoPositionType) {
        party.chan_num = amtelco_.GetAmtelcoBusTimeslot(name.ldev, name.cable);
    } else if (onBus && !PartyTransmitSlot(args, name, &party.chan_num)) {
        return;
    }

    const auto run = change == PartyChange::kAdd      ? calls.addtoconf
                     : change == PartyChange::kRemove ? calls.remfromconf
                                                      : calls.setcde;
    const int32_t result = (hardware_.get()->*run)(handle, id, &party);
    args.TraceLine(
        Format("%s dev=%d iConfID=%d chansel=%d channum=%d chanattr=%d chanlts=%d "
               "RES=%d",
               call.c_str(), handle, id, name.selector, party.chan_num, name.attribute,
               party.chan_attr, result));
    if (result != 0) {
        args.TraceLine(call + " error = " + hardware_->ATDV_ERRMSGP(handle));
    }
    if (change == PartyChange::kAdd) {
        {
            std::lock_guard lock(conferences_.Lock());
            conferences_.SetPartyTimeslot(conference, name.ldev, name.type, party.chan_attr);
        }
        if (conferences_.HasPlaceholder(conference)) {
            RemovePlaceholder(args, calls, handle, id, conference, kPlaceholderAttribute);
        }
    } else if (change == PartyChange::kRemove && result == 0) {
        std::lock_guard lock(conferences_.Lock());
        conferences_.RemoveParty(conference, name.ldev, name.type);
    }
}

}  // namespace ruzd::node
