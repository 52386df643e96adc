#pragma once

// The hardware watchdog card's device, "\\.\Watchdog". No such card exists here unless
// RUZD_WATCHDOG_DEVICE names a file that plays it: the file is opened for each access (a missing
// file is a missing card) and every access appends a line, "R <offset> 0x<byte>" for a read
// (with the byte it gave) or "W <offset> 0x<byte>" for a write. A read gives the byte of the
// last "W" or "S" line for its offset ("S" lines are set by whoever plays the card), else 0.

#include <cstddef>
#include <cstdint>

namespace ruzd::platform {

inline constexpr uint32_t kWatchdogReadPort = 0x9C406400;
inline constexpr uint32_t kWatchdogWritePort = 0x9C40A440;

// One control request to the device: kWatchdogReadPort takes the 32-bit offset and returns one
// byte; kWatchdogWritePort takes the offset and the byte. False when there is no device or the
// request is not one of these.
bool WatchdogDeviceControl(uint32_t code, const void* input, size_t input_size, void* output,
                           size_t output_size);

}  // namespace ruzd::platform
