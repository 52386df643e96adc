#include "node/event_wait_wake.h"

#include "telephony/hardware_isdn.h"

namespace ruzd::node {
namespace {

// The event library's own device, on which the wake events are put, and their type: a user
// event type that no board raises.
constexpr int32_t kSrlDevice = 0;
constexpr uint32_t kWakeEventType = 0x7FFF5A4B;

}  // namespace

void EventWaitWake::Wake(telephony::CHardwareISDN& hardware) {
    outstanding_.fetch_add(1);
    if (hardware.sr_putevt(kSrlDevice, kWakeEventType, 0, nullptr, 0) != 0) {
        outstanding_.fetch_sub(1);
    }
}

bool EventWaitWake::TakeWake(telephony::CHardwareISDN& hardware) {
    if (outstanding_.load() <= 0) {
        return false;
    }
    if (hardware.sr_getevttype() != static_cast<int32_t>(kWakeEventType) ||
        hardware.sr_getevtdev() != kSrlDevice) {
        return false;
    }
    outstanding_.fetch_sub(1);
    return true;
}

}  // namespace ruzd::node
