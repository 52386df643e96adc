#pragma once

// The device types the central server names devices by (its ePortType), as far as the node
// tells them apart: each has its own table of opened devices and its own debug channel.

#include <cstdint>

namespace ruzd::node {

inline constexpr int32_t kPortTypeVoice = 1;
inline constexpr int32_t kPortTypeNetwork = 3;  // ISDN, network interface and Global Call lines
inline constexpr int32_t kPortTypeStation = 5;
inline constexpr int32_t kPortTypeGlobalCallIp = 7;
inline constexpr int32_t kPortTypeIp = 18;

}  // namespace ruzd::node
