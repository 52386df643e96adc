#include "telephony/tdm_time_slots.h"

#include <memory>
#include <mutex>
#include <string>

#include "foundation/trace.h"
#include "telephony/aculab_channel_store.h"
#include "telephony/aculab_time_slots.h"
#include "telephony/bus_resource_pool.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/hardware.h"
#include "telephony/time_slot_descriptor.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The library id under which Global Call's own errors are explained.
constexpr uint32_t kGlobalCallLibrary = 0;
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

// A Dialogic call's -1 logged as "<prefix>: <name>: <what> ERROR: <error text>".
int32_t DialogicFailure(CHardware& hardware, int32_t device, const char* prefix,
                        const std::string& what) {
    const DeviceTexts texts = TextsOf(hardware, device);
    VendorTrace(0, device, "%s: %s: %s ERROR: %s", prefix, texts.name.c_str(), what.c_str(),
                texts.error.c_str());
    return -1;
}

// Global Call's listen failure, logged with Global Call's own error on the Dt channel.
int32_t GlobalCallListenFailure(CHardware& hardware, int32_t device) {
    int32_t gc_error = 0;
    int32_t cclib = 0;
    int32_t cclib_error = 0;
    hardware.gc_ErrorValue(&gc_error, &cclib, &cclib_error);
    char* message = nullptr;
    hardware.gc_ResultMsg(kGlobalCallLibrary, gc_error, &message);
    VendorTrace(foundation::kTraceDti, device,
                "nr_scroute: %s: Cannot gc_listen Error = %d Msg = %s",
                hardware.ATDV_NAMEP(device).c_str(), gc_error, message != nullptr ? message : "");
    return -1;
}

// The bus calls of one Dialogic device type, named "<prefix>_getxmitslot" and so on in the log
// (Global Call's own names differ only in case). Global Call listens synchronously.
struct DialogicFamily {
    const char* prefix;
    int32_t (*transmit)(CHardware& hardware, int32_t device, SC_TSINFO* slots);
    int32_t (*listen)(CHardware& hardware, int32_t device, SC_TSINFO* slots);
    int32_t (*unlisten)(CHardware& hardware, int32_t device);
};

const DialogicFamily* DialogicFamilyOf(int32_t type) {
    static const DialogicFamily kVoice = {
        "dx", [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.dx_getxmitslot(d, s); },
        [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.dx_listen(d, s); },
        [](CHardware& h, int32_t d) { return h.dx_unlisten(d); }};
    static const DialogicFamily kAnalog = {
        "ag", [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.ag_getxmitslot(d, s); },
        [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.ag_listen(d, s); },
        [](CHardware& h, int32_t d) { return h.ag_unlisten(d); }};
    // The network interface library knows a line device by its network handle.
    static const DialogicFamily kNetwork = {
        "dt",
        [](CHardware& h, int32_t d, SC_TSINFO* s) {
            return h.dt_getxmitslot(NetworkHandle(h, d), s);
        },
        [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.dt_listen(NetworkHandle(h, d), s); },
        [](CHardware& h, int32_t d) { return h.dt_unlisten(NetworkHandle(h, d)); }};
    static const DialogicFamily kStation = {
        "ms", [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.ms_getxmitslot(d, s); },
        [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.ms_listen(d, s); },
        [](CHardware& h, int32_t d) { return h.ms_unlisten(d); }};
    static const DialogicFamily kGlobalCall = {
        "gc", [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.gc_GetXmitSlot(d, s); },
        [](CHardware& h, int32_t d, SC_TSINFO* s) { return h.gc_Listen(d, s, EV_SYNC); },
        [](CHardware& h, int32_t d) { return h.gc_UnListen(d, EV_SYNC); }};
    switch (type) {
        case kPortTypeVoice:
            return &kVoice;
        case kBusTypeAnalog:
            return &kAnalog;
        case kPortTypeNetwork:
            return &kNetwork;
        case kPortTypeStation:
            return &kStation;
        case kPortTypeGlobalCallIp:
            return &kGlobalCall;
        default:
            return nullptr;
    }
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
        return GetAculabTimeSlot(hardware, *guard.manager, device, type, descriptor);
    const DialogicFamily* family = DialogicFamilyOf(type);
    if (family == nullptr) {
        VendorTrace(0, device, "nr_scroute: %s: ERROR: Invalid 1st device type",
                    hardware.ATDV_NAMEP(device).c_str());
        return -1;
    }
    // The vendor always gets a descriptor to fill.
    int32_t own_slot = 0;
    SC_TSINFO own{1, &own_slot};
    SC_TSINFO* filled = descriptor != nullptr ? descriptor : &own;
    if (family->transmit(hardware, device, filled) == -1)
        return DialogicFailure(hardware, device, "nr_scroute",
                               std::string(family->prefix) + "_getxmitslot");
    return FirstSlotOf(filled);
}

int32_t ListenXTimeSlot(int32_t device, int32_t type, const SC_TSINFO* descriptor) {
    const Guard guard = TakeGuard();
    if (!guard)
        return -1;
    CHardware& hardware = *guard.hardware;
    if (IsAculabType(type))
        return ListenAculabTimeSlot(hardware, *guard.manager, device, type, descriptor);
    const DialogicFamily* family = DialogicFamilyOf(type);
    if (family == nullptr) {
        VendorTrace(0, device, "nr_scroute: %s: ERROR: Invalid 2nd device type, STATE=%ld",
                    hardware.ATDV_NAMEP(device).c_str(),
                    static_cast<long>(hardware.ATDX_STATE(device)));
        return -1;
    }
    // The vendor reads the descriptor only.
    const int32_t result = family->listen(hardware, device, const_cast<SC_TSINFO*>(descriptor));
    if (result != -1)
        return result;
    if (type == kPortTypeGlobalCallIp)
        return GlobalCallListenFailure(hardware, device);
    return DialogicFailure(hardware, device, "nr_scroute",
                           "Cannot " + std::string(family->prefix) + "_listen");
}

int32_t UnListenXTimeSlot(int32_t device, int32_t type) {
    const Guard guard = TakeGuard();
    if (!guard)
        return -1;
    CHardware& hardware = *guard.hardware;
    if (IsAculabType(type))
        return UnListenAculabTimeSlot(hardware, *guard.manager, device, type);
    const DialogicFamily* family = DialogicFamilyOf(type);
    if (family == nullptr) {
        VendorTrace(0, device, "nr_unscroute: %s: ERROR: Invalid device type, STATE=%ld",
                    hardware.ATDV_NAMEP(device).c_str(),
                    static_cast<long>(hardware.ATDX_STATE(device)));
        return -1;
    }
    const int32_t result = family->unlisten(hardware, device);
    if (result == -1)
        return DialogicFailure(hardware, device, "nr_unscroute",
                               "Cannot " + std::string(family->prefix) + "_unlisten");
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
