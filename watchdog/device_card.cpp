#include "watchdog/device_card.h"

#include <cstring>

#include "platform/watchdog_device.h"

namespace ruzd::watchdog {
namespace {

// Registers by offset.
constexpr uint32_t kCounter0 = 0;
constexpr uint32_t kCounter1 = 1;
constexpr uint32_t kCounter2 = 2;
constexpr uint32_t kControl = 3;
constexpr uint32_t kStatus = 4;
constexpr uint32_t kSequence = 7;  // read to begin a programming sequence, 0 written to end it
constexpr uint8_t kStatusBit = 0x80;

// Counter 2 cleared in mode 0.
void ClearCounter2() {
    DeviceWatchdogCard::WritePort(kControl, 0xB0);
    DeviceWatchdogCard::WritePort(kCounter2, 0x00);
    DeviceWatchdogCard::WritePort(kCounter2, 0x00);
}

// Counter 1 loaded with 0x00D0 in mode 2, counter 0 with 0xFFFF in mode 3.
void ReloadCounters1And0() {
    DeviceWatchdogCard::WritePort(kControl, 0x74);
    DeviceWatchdogCard::WritePort(kCounter1, 0xD0);
    DeviceWatchdogCard::WritePort(kCounter1, 0x00);
    DeviceWatchdogCard::WritePort(kControl, 0x36);
    DeviceWatchdogCard::WritePort(kCounter0, 0xFF);
    DeviceWatchdogCard::WritePort(kCounter0, 0xFF);
}

void BeginSequence() {
    DeviceWatchdogCard::ReadPort(kSequence);
}

void EndSequence() {
    DeviceWatchdogCard::WritePort(kSequence, 0x00);
}

}  // namespace

int8_t DeviceWatchdogCard::ReadPort(uint32_t offset) {
    uint8_t byte = 0;
    if (!platform::WatchdogDeviceControl(platform::kWatchdogReadPort, &offset, sizeof offset, &byte,
                                         sizeof byte)) {
        return 0;
    }
    return static_cast<int8_t>(byte);
}

void DeviceWatchdogCard::WritePort(uint32_t offset, uint8_t byte) {
    uint8_t input[5];
    std::memcpy(input, &offset, sizeof offset);
    input[4] = byte;
    platform::WatchdogDeviceControl(platform::kWatchdogWritePort, input, sizeof input, nullptr, 0);
}

void DeviceWatchdogCard::Start() {
    BeginSequence();
    ClearCounter2();
    ReloadCounters1And0();
    WritePort(kControl, 0xB0);
    EndSequence();
}

void DeviceWatchdogCard::Stop() {
    BeginSequence();
    ClearCounter2();
    EndSequence();
}

void DeviceWatchdogCard::Kick() {
    if (toggle_) {
        toggle_ = false;
        BeginSequence();
        ReloadCounters1And0();
        WritePort(kControl, 0xB0);
        EndSequence();
    } else if ((static_cast<uint8_t>(ReadPort(kStatus)) & kStatusBit) == 0) {
        toggle_ = true;
        BeginSequence();
        ClearCounter2();
        EndSequence();
    } else {
        // This path leaves the sequence register alone, as the card's first programs did.
        ReloadCounters1And0();
    }
}

}  // namespace ruzd::watchdog
