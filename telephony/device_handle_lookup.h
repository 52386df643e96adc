#pragma once

// The node's tables of opened line devices as the hardware layer reads them: which vendor handle
// a line device of a given device type was opened under. The node publishes its tables while it
// lives (see foundation/published.h); the hardware layer locks them for one lookup at a time.

#include <cstdint>

#include "foundation/published.h"

namespace ruzd::telephony {

// The device types the central server names devices by (its ePortType), as far as the node
// tells them apart: each has its own table of opened devices and its own debug channel.
inline constexpr int32_t kPortTypeVoice = 1;
inline constexpr int32_t kPortTypeNetwork = 3;  // ISDN, network interface and Global Call lines
inline constexpr int32_t kPortTypeStation = 5;
inline constexpr int32_t kPortTypeGlobalCallIp = 7;
inline constexpr int32_t kPortTypeAculabDti = 17;  // an Aculab network port, in the network table
inline constexpr int32_t kPortTypeIp = 18;         // an Aculab IP channel or board

// Line device numbers from here on name a whole board (a trunk, a BRI station or an IP board):
// the board is the number above it.
inline constexpr int32_t kBoardLineDeviceBase = 1000000;

class DeviceHandleLookup {
public:
    virtual ~DeviceHandleLookup() = default;

    // The vendor handle of line device `ldev` in the table of `device_type`: true with the
    // handle, or false with the handle set to -1. A type of no table gives false and leaves the
    // handle untouched.
    virtual bool GetDeviceHandle(int32_t ldev, int32_t device_type, int32_t* handle) const = 0;

    // The vendor handle of an IP channel (an IP board under kBoardLineDeviceBase plus its
    // number): true with the handle, or false with the handle set to -1.
    virtual bool GetIPDeviceHandle(int32_t ldev, int32_t* handle) const = 0;
};

// The node's published device tables.
foundation::Published<DeviceHandleLookup>& PublishedDeviceHandles();

}  // namespace ruzd::telephony
