#pragma once

// The hardware watchdog card through its driver's device: an 8254-type counter chip whose
// counters, once armed, must be retriggered or the card acts on the machine by itself. Start
// arms it, every heartbeat kicks it, Stop disarms it. Without the device every access does
// nothing and every read gives 0.

#include <cstdint>

#include "watchdog/frame_parts.h"

namespace ruzd::watchdog {

class DeviceWatchdogCard : public WatchdogCard {
public:
    static int8_t ReadPort(uint32_t offset);
    static void WritePort(uint32_t offset, uint8_t byte);

    void Start() override;
    void Stop() override;
    // Alternates between clearing counter 2 and reloading counters 1 and 0.
    void Kick() override;

private:
    bool toggle_ = false;
};

}  // namespace ruzd::watchdog
