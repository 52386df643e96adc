#include "telephony/aculab_time_slots.h"

#include <memory>
#include <mutex>

#include "telephony/bus_resource_pool.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/time_slot_descriptor.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// Prosody channels are numbered from 1 to this.
constexpr int32_t kLastProsodyDevice = 240;

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

}  // namespace

bool IsAculabType(int32_t type) {
    return type == kBusTypeProsody || type == kBusTypeAculabDti || type == kBusTypeAculabIp;
}

int32_t GetAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager, int32_t device,
                          int32_t type, SC_TSINFO* descriptor) {
    if (hardware.IsGlobalCallOnlyMode()) {
        StoreFirstSlot(descriptor, device);
        return descriptor != nullptr ? FirstSlotOf(descriptor) : device;
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
        if (!FindProsodyEnd(manager, device, type, false, "GetXTimeSlot", &end)) {
            pool.PutBackAtHead(std::move(head));
            return -1;
        }
        OUTPUT_PARMS record = SwitchRecord(head->stream(), head->slot_in_stream(), CONNECT_MODE);
        record.ist = end.stream;
        record.its = end.slot;
        if (hardware.sw_set_output(end.card, &record) != 0) {
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

int32_t ListenAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager, int32_t device,
                             int32_t type, const SC_TSINFO* descriptor) {
    if (type == kBusTypeProsody)
        return RefuseProsody(device, "ListenXTimeSlot Invalid Prosody dev=%ld",
                             "Aculab device not supported in GetXTimeSlot.");
    ProsodyEnd end;
    if (!FindProsodyEnd(manager, device, type, true, "ListenXTimeSlot", &end))
        return -1;
    // The record carries the bus slot as a 16-bit number.
    const uint16_t bus_slot = static_cast<uint16_t>(FirstSlotOf(descriptor));
    OUTPUT_PARMS record = SwitchRecord(end.stream, end.slot, CONNECT_MODE);
    if (BusResources().IsH100()) {
        record.ist = bus_slot / kH100SlotsPerStream;
        record.its = bus_slot % kH100SlotsPerStream;
    } else {
        record.ist = kScbusStream;
        record.its = bus_slot;
    }
    const int32_t result = hardware.sw_set_output(end.card, &record);
    if (result != 0)
        VendorTrace(0, 0, "ListenXTimeSlot sw_set_output error for dev=%ld devtype=%d to ts=%u",
                    static_cast<long>(device), type, static_cast<unsigned>(bus_slot));
    return result;
}

int32_t UnListenAculabTimeSlot(CHardware& hardware, const AculabChannelStore& manager,
                               int32_t device, int32_t type) {
    if (type == kBusTypeProsody)
        return RefuseProsody(device, "UnListenXTimeSlot Invalid Prosody dev=%ld",
                             "Aculab device not supported in UnListenXTimeSlot.");
    ProsodyEnd end;
    if (!FindProsodyEnd(manager, device, type, true, "UnListenXTimeSlot", &end))
        return -1;
    // The output sends the A-law idle pattern instead of the bus slot.
    OUTPUT_PARMS record = SwitchRecord(end.stream, end.slot, PATTERN_MODE);
    record.pattern = ALAW_IDLE_PATTERN;
    const int32_t result = hardware.sw_set_output(end.card, &record);
    if (result != 0)
        VendorTrace(0, 0, "UnListenXTimeSlot sw_set_output error for dev=%ld devtype=%d",
                    static_cast<long>(device), type);
    return result;
}

}  // namespace ruzd::telephony
