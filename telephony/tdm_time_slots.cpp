#include "telephony/tdm_time_slots.h"

#include <memory>
#include <mutex>
#include <string>

#include "foundation/trace.h"
#include "telephony/aculab_channel_store.h"
#include "telephony/bus_resource_pool.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/hardware.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The library id under which Global Call's own errors are explained.
constexpr uint32_t kGlobalCallLibrary = 0;
// Prosody channels are numbered from 1 to this.
constexpr int32_t kLastProsodyDevice = 240;

bool IsAculabType(int32_t type) {
    return type == kBusTypeProsody || type == kBusTypeAculabDti || type == kBusTypeAculabIp;
}

// What every operation holds for its whole length: the node manager (through its Aculab
// channel store, a part of it) and the facade. Empty, after the log line, when the manager is
// gone.
struct Guard {
    std::shared_ptr<AculabChannelStore> manager;
    CHardware* hardware = nullptr;
    explicit operator bool() const { return manager != nullptr && hardware != nullptr; }
};

Guard TakeGuard() {
    Guard guard{PublishedAculabChannels().Lock(), PublishedHardware()};
    if (guard.manager == nullptr)
        VendorTrace(0, 0, "spVesmarin == NULL!");
    return guard;
}

// The device's name and last error text, for the failure lines.
struct DeviceTexts {
    std::string name;
    std::string error;
};

DeviceTexts TextsOf(CHardware& hardware, int32_t device) {
    return {hardware.ATDV_NAMEP(device), hardware.ATDV_ERRMSGP(device)};
}

// The handle the network interface library knows a line device by: Global Call's network
// handle while Global Call runs, else the device itself.
int32_t NetworkHandle(CHardware& hardware, int32_t device) {
    if (!hardware.IsGlobalCallInitialised())
        return device;
    int32_t handle = 0;
    if (hardware.gc_GetNetworkH(device, &handle) != 0)
        VendorTrace(0, device, "Failed to get network Handle for device %ld",
                    static_cast<long>(device));
    return handle;
}

// The first slot of a descriptor, 0 when there is none.
int32_t FirstSlot(const SC_TSINFO* descriptor) {
    if (descriptor == nullptr || descriptor->sc_tsarrayp == nullptr)
        return 0;
    return descriptor->sc_tsarrayp[0];
}

void StoreFirstSlot(SC_TSINFO* descriptor, int32_t slot) {
    if (descriptor != nullptr && descriptor->sc_tsarrayp != nullptr)
        descriptor->sc_tsarrayp[0] = slot;
}

// The Prosody side of an Aculab device's switch connection: the card, and the stream and slot
// on which the device's Prosody channel meets the switch.
struct ProsodyEnd {
    int32_t card = -1;
    int32_t stream = -1;
    int32_t slot = -1;
};

// False, after a line naming `operation`, when the manager knows no stream, slot or card for
// the handle: switching with -1 would connect something else.
bool FindProsodyEnd(const AculabChannelStore& manager, int32_t device, int32_t type,
                    bool with_echo_canceller, const char* operation, ProsodyEnd* end) {
    end->stream = manager.GetProsodyStream(device);
    end->slot = manager.GetProsodyTimeslot(device);
    end->card = manager.GetAculabCardIndex(device);
    if (end->stream < 0 || end->slot < 0 || end->card < 0) {
        VendorTrace(0, 0, "%s no Prosody stream, slot or card for dev=%ld devtype=%d", operation,
                    static_cast<long>(device), type);
        return false;
    }
    // An IP channel with an echo canceller is heard through the canceller's output, the next
    // slot of the stream.
    if (with_echo_canceller && type == kBusTypeAculabIp &&
        manager.GetEchoCancelIn(device) != nullptr)
        ++end->slot;
    return true;
}

OUTPUT_PARMS SwitchRecord(int32_t output_stream, int32_t output_slot, int32_t mode) {
    OUTPUT_PARMS record{};
    record.size = sizeof(OUTPUT_PARMS);
    record.ost = output_stream;
    record.ots = output_slot;
    record.mode = mode;
    return record;
}

// A Prosody device (type 16) is never routed.
int32_t RefuseProsody(int32_t device, const char* invalid_line, const char* unsupported_line) {
    if (device < 1 || device > kLastProsodyDevice) {
        VendorTrace(0, 0, invalid_line, static_cast<long>(device));
    } else {
        VendorTrace(0, 0, "%s", unsupported_line);
    }
    return -1;
}

int32_t GetAculabTimeSlot(const Guard& guard, int32_t device, int32_t type, SC_TSINFO* descriptor) {
    if (guard.hardware->IsGlobalCallOnlyMode()) {
        StoreFirstSlot(descriptor, device);
        return descriptor != nullptr ? FirstSlot(descriptor) : device;
    }
    BusResourcePool& pool = BusResources();
    std::lock_guard hold(pool.Lock());
    CBusResource* lent = pool.FindLent(device, type);
    if (lent == nullptr) {
        std::unique_ptr<CBusResource> head = pool.TakeHead();
        if (head == nullptr) {
            VendorTrace(0, 0, "GetXTimeSlot No more Free Timeslots for dev=%ld devtype=%d",
                        static_cast<long>(device), type);
            return -1;
        }
        if (type == kBusTypeProsody) {
            pool.PutBackAtHead(std::move(head));
            return RefuseProsody(device, "GetXTimeSlot Invalid Prosody dev=%ld",
                                 "Aculab device not supported in GetXTimeSlot.");
        }
        ProsodyEnd end;
        if (!FindProsodyEnd(*guard.manager, device, type, false, "GetXTimeSlot", &end)) {
            pool.PutBackAtHead(std::move(head));
            return -1;
        }
        OUTPUT_PARMS record = SwitchRecord(head->stream(), head->slot_in_stream(), CONNECT_MODE);
        record.ist = end.stream;
        record.its = end.slot;
        if (guard.hardware->sw_set_output(end.card, &record) != 0) {
            VendorTrace(0, 0, "GetXTimeSlot Error in sw_set_output for dev=%ld devtype=%d",
                        static_cast<long>(device), type);
            pool.PutBackAtHead(std::move(head));
            return -1;
        }
        lent = pool.Lend(std::move(head), device, type);
    }
    StoreFirstSlot(descriptor, lent->time_slot());
    return lent->time_slot();
}

int32_t ListenAculab(const Guard& guard, int32_t device, int32_t type,
                     const SC_TSINFO* descriptor) {
    if (type == kBusTypeProsody)
        return RefuseProsody(device, "ListenXTimeSlot Invalid Prosody dev=%ld",
                             "Aculab device not supported in GetXTimeSlot.");
    ProsodyEnd end;
    if (!FindProsodyEnd(*guard.manager, device, type, true, "ListenXTimeSlot", &end))
        return -1;
    // The record carries the bus slot as a 16-bit number.
    const uint16_t bus_slot = static_cast<uint16_t>(FirstSlot(descriptor));
    OUTPUT_PARMS record = SwitchRecord(end.stream, end.slot, CONNECT_MODE);
    if (BusResources().IsH100()) {
        record.ist = bus_slot / kH100SlotsPerStream;
        record.its = bus_slot % kH100SlotsPerStream;
    } else {
        record.ist = kScbusStream;
        record.its = bus_slot;
    }
    const int32_t result = guard.hardware->sw_set_output(end.card, &record);
    if (result != 0)
        VendorTrace(0, 0, "ListenXTimeSlot sw_set_output error for dev=%ld devtype=%d to ts=%u",
                    static_cast<long>(device), type, static_cast<unsigned>(bus_slot));
    return result;
}

int32_t UnListenAculab(const Guard& guard, int32_t device, int32_t type) {
    if (type == kBusTypeProsody)
        return RefuseProsody(device, "UnListenXTimeSlot Invalid Prosody dev=%ld",
                             "Aculab device not supported in UnListenXTimeSlot.");
    ProsodyEnd end;
    if (!FindProsodyEnd(*guard.manager, device, type, true, "UnListenXTimeSlot", &end))
        return -1;
    // The output sends the A-law idle pattern instead of the bus slot.
    OUTPUT_PARMS record = SwitchRecord(end.stream, end.slot, PATTERN_MODE);
    record.pattern = ALAW_IDLE_PATTERN;
    const int32_t result = guard.hardware->sw_set_output(end.card, &record);
    if (result != 0)
        VendorTrace(0, 0, "UnListenXTimeSlot sw_set_output error for dev=%ld devtype=%d",
                    static_cast<long>(device), type);
    return result;
}

// A Dialogic call's -1 logged as "<prefix>: <name>: <what> ERROR: <error text>".
int32_t DialogicFailure(CHardware& hardware, int32_t device, const char* prefix, const char* what) {
    const DeviceTexts texts = TextsOf(hardware, device);
    VendorTrace(0, device, "%s: %s: %s ERROR: %s", prefix, texts.name.c_str(), what,
                texts.error.c_str());
    return -1;
}

}  // namespace

const char* DeviceTypeName(int32_t type) {
    switch (type) {
        case kPortTypeVoice:
            return "vox";
        case kBusTypeAnalog:
            return "lsi";
        case kPortTypeNetwork:
            return "dti";
        case kPortTypeStation:
            return "msi";
        case kPortTypeGlobalCallIp:
            return "ip";
        case kBusTypeConference:
            return "dcb";
        case kBusTypeProsody:
            return "prosody";
        case kBusTypeAculabDti:
            return "Aculab_dti";
        case kBusTypeAculabIp:
            return "Aculab_ip";
        default:
            return "?";
    }
}

const char* ChannelKindName(int32_t kind) {
    static const char* const kNames[] = {"vox", "isdn", "fax", "msi",  "scx",
                                         "brd", "ip",   "?",   "sock", "inap"};
    if (kind < 0 || kind > 9)
        return "?";
    return kNames[kind];
}

int32_t GetXTimeSlot(int32_t device, int32_t type, SC_TSINFO* descriptor) {
    const Guard guard = TakeGuard();
    if (!guard)
        return -1;
    CHardware& hardware = *guard.hardware;
    if (IsAculabType(type))
        return GetAculabTimeSlot(guard, device, type, descriptor);

    // The vendor always gets a descriptor to fill.
    int32_t own_slot = 0;
    SC_TSINFO own{1, &own_slot};
    SC_TSINFO* filled = descriptor != nullptr ? descriptor : &own;
    int32_t result = 0;
    const char* what = nullptr;
    switch (type) {
        case kPortTypeVoice:
            result = hardware.dx_getxmitslot(device, filled);
            what = "dx_getxmitslot";
            break;
        case kBusTypeAnalog:
            result = hardware.ag_getxmitslot(device, filled);
            what = "ag_getxmitslot";
            break;
        case kPortTypeNetwork:
            result = hardware.dt_getxmitslot(NetworkHandle(hardware, device), filled);
            what = "dt_getxmitslot";
            break;
        case kPortTypeStation:
            result = hardware.ms_getxmitslot(device, filled);
            what = "ms_getxmitslot";
            break;
        case kPortTypeGlobalCallIp:
            result = hardware.gc_GetXmitSlot(device, filled);
            what = "gc_getxmitslot";
            break;
        default:
            VendorTrace(0, device, "nr_scroute: %s: ERROR: Invalid 1st device type",
                        hardware.ATDV_NAMEP(device).c_str());
            return -1;
    }
    if (result == -1)
        return DialogicFailure(hardware, device, "nr_scroute", what);
    return FirstSlot(filled);
}

int32_t ListenXTimeSlot(int32_t device, int32_t type, const SC_TSINFO* descriptor) {
    const Guard guard = TakeGuard();
    if (!guard)
        return -1;
    CHardware& hardware = *guard.hardware;
    if (IsAculabType(type))
        return ListenAculab(guard, device, type, descriptor);

    // The vendor reads the descriptor only.
    SC_TSINFO* slots = const_cast<SC_TSINFO*>(descriptor);
    int32_t result = 0;
    const char* what = nullptr;
    switch (type) {
        case kPortTypeVoice:
            result = hardware.dx_listen(device, slots);
            what = "Cannot dx_listen";
            break;
        case kBusTypeAnalog:
            result = hardware.ag_listen(device, slots);
            what = "Cannot ag_listen";
            break;
        case kPortTypeNetwork:
            result = hardware.dt_listen(NetworkHandle(hardware, device), slots);
            what = "Cannot dt_listen";
            break;
        case kPortTypeStation:
            result = hardware.ms_listen(device, slots);
            what = "Cannot ms_listen";
            break;
        case kPortTypeGlobalCallIp:
            result = hardware.gc_Listen(device, slots, EV_SYNC);
            if (result == -1) {
                int32_t gc_error = 0;
                int32_t cclib = 0;
                int32_t cclib_error = 0;
                hardware.gc_ErrorValue(&gc_error, &cclib, &cclib_error);
                char* message = nullptr;
                hardware.gc_ResultMsg(kGlobalCallLibrary, gc_error, &message);
                VendorTrace(foundation::kTraceDti, device,
                            "nr_scroute: %s: Cannot gc_listen Error = %d Msg = %s",
                            hardware.ATDV_NAMEP(device).c_str(), gc_error,
                            message != nullptr ? message : "");
                return -1;
            }
            return result;
        default:
            VendorTrace(0, device, "nr_scroute: %s: ERROR: Invalid 2nd device type, STATE=%ld",
                        hardware.ATDV_NAMEP(device).c_str(),
                        static_cast<long>(hardware.ATDX_STATE(device)));
            return -1;
    }
    if (result == -1)
        return DialogicFailure(hardware, device, "nr_scroute", what);
    return result;
}

int32_t UnListenXTimeSlot(int32_t device, int32_t type) {
    const Guard guard = TakeGuard();
    if (!guard)
        return -1;
    CHardware& hardware = *guard.hardware;
    if (IsAculabType(type))
        return UnListenAculab(guard, device, type);

    int32_t result = 0;
    const char* what = nullptr;
    switch (type) {
        case kPortTypeVoice:
            result = hardware.dx_unlisten(device);
            what = "Cannot dx_unlisten";
            break;
        case kBusTypeAnalog:
            result = hardware.ag_unlisten(device);
            what = "Cannot ag_unlisten";
            break;
        case kPortTypeNetwork:
            result = hardware.dt_unlisten(NetworkHandle(hardware, device));
            what = "Cannot dt_unlisten";
            break;
        case kPortTypeStation:
            result = hardware.ms_unlisten(device);
            what = "Cannot ms_unlisten";
            break;
        case kPortTypeGlobalCallIp:
            result = hardware.gc_UnListen(device, EV_SYNC);
            what = "Cannot gc_unlisten";
            break;
        default:
            VendorTrace(0, device, "nr_unscroute: %s: ERROR: Invalid device type, STATE=%ld",
                        hardware.ATDV_NAMEP(device).c_str(),
                        static_cast<long>(hardware.ATDX_STATE(device)));
            return -1;
    }
    if (result == -1)
        return DialogicFailure(hardware, device, "nr_unscroute", what);
    return result;
}

int32_t ReleaseXTimeSlot(int32_t device, int32_t type) {
    if (!IsAculabType(type)) {
        VendorTrace(0, 0, "ReleaseXTimeSlot not allowed for devtype %d devh %ld", type,
                    static_cast<long>(device));
        return -1;
    }
    // No switch call: the slot's output stays connected until its next borrower connects it.
    BusResources().GiveBack(device, type);
    return 0;
}

int32_t GetXmitSlotInfo(int32_t device, int32_t type, SC_TSINFO* descriptor, int32_t* slot) {
    if (IsAculabType(type))
        return -1;
    *slot = -1;
    descriptor->sc_numts = 1;
    descriptor->sc_tsarrayp = slot;
    int32_t own_slot = 0;
    SC_TSINFO own{1, &own_slot};
    if (GetXTimeSlot(device, type, &own) == -1)
        return -1;
    *slot = own_slot;
    return 0;
}

}  // namespace ruzd::telephony
