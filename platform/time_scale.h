#pragma once

// A faster clock for tests: RUZD_TIME_SCALE=N (1 to 20, default 1) makes the clock seam's wall
// time and tick run N times as fast from process start, and thread timers fire N times as often,
// so that programs which count in seconds (a watchdog's countdown, a node's heartbeat) can be
// watched for minutes of their time in seconds of the test's. Sleeps and the time-outs of sockets
// and window messages stay real. Read once per process.

#include <cstdint>
#include <optional>
#include <string_view>

namespace ruzd::platform {

inline constexpr uint32_t kMaxTimeScale = 20;

// The process's time scale.
uint32_t TimeScale();

// The scale a variable's text names; none for anything but a whole number from 1 to 20.
std::optional<uint32_t> ParseTimeScale(std::string_view text);

}  // namespace ruzd::platform
