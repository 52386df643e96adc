#include "telephony/tdm_routing.h"

#include <mutex>

#include "foundation/app_hooks.h"
#include "telephony/device_handle_lookup.h"
#include "telephony/hardware.h"
#include "telephony/tdm_time_slots.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

void LogDone(const char* operation, int32_t device1, int32_t type1, int32_t device2, int32_t type2,
             const RoutingChannel* channel1, const RoutingChannel* channel2, int32_t result) {
    if (channel1 == nullptr || channel2 == nullptr)
        return;
    VendorTrace(channel1->kind, channel1->number,
                "%s Done dev1=%d ch1=%d(%s) type1=%s dev2=%d ch2=%d(%s) type2=%s rc=%d", operation,
                device1, channel1->number, ChannelKindName(channel1->kind), DeviceTypeName(type1),
                device2, channel2->number, ChannelKindName(channel2->kind), DeviceTypeName(type2),
                result);
}

}  // namespace

int32_t Route(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode) {
    int32_t slot = 0;
    SC_TSINFO descriptor{1, &slot};
    if (GetXTimeSlot(device1, type1, &descriptor) == -1)
        return -1;
    // A listen succeeds with 0 only: the Aculab switch fails with results of its own.
    if (ListenXTimeSlot(device2, type2, &descriptor) != 0)
        return -1;
    if (mode == kHalfDuplex)
        return 0;
    if (GetXTimeSlot(device2, type2, &descriptor) == -1)
        return -1;
    if (ListenXTimeSlot(device1, type1, &descriptor) != 0)
        return -1;
    return 0;
}

int32_t Unroute(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode) {
    const int32_t second = UnListenXTimeSlot(device2, type2);
    if (mode == kHalfDuplex)
        return second;
    const int32_t first = UnListenXTimeSlot(device1, type1);
    return second != 0 ? second : first;
}

int32_t SCRouting1(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode,
                   const RoutingChannel* channel1, const RoutingChannel* channel2) {
    int32_t result = -1;
    {
        std::lock_guard hold(foundation::CurrentApp().RoutingLock());
        // An IP device about to be routed both ways first stops hearing what it heard.
        if (type1 == kPortTypeGlobalCallIp && mode == kFullDuplex)
            SCUnrouting(device1, type1, device1, type1, kHalfDuplex, channel1, channel1);
        if (type2 == kPortTypeGlobalCallIp && mode == kFullDuplex)
            SCUnrouting(device2, type2, device2, type2, kHalfDuplex, channel2, channel2);
        if (CHardware* hardware = PublishedHardware())
            result = hardware->nr_scroute(device1, type1, device2, type2, mode);
    }
    LogDone("SCRouting1", device1, type1, device2, type2, channel1, channel2, result);
    return result;
}

int32_t SCUnrouting(int32_t device1, int32_t type1, int32_t device2, int32_t type2, uint8_t mode,
                    const RoutingChannel* channel1, const RoutingChannel* channel2) {
    // A device unrouted from itself is unrouted once.
    if (device1 == device2 && type1 == type2 && mode != kHalfDuplex)
        mode = kHalfDuplex;
    int32_t result = -1;
    {
        std::lock_guard hold(foundation::CurrentApp().RoutingLock());
        if (CHardware* hardware = PublishedHardware())
            result = hardware->nr_scunroute(device1, type1, device2, type2, mode);
    }
    LogDone("SCUnrouting", device1, type1, device2, type2, channel1, channel2, result);
    return result;
}

}  // namespace ruzd::telephony
