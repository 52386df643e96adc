#pragma once

// What the node knows of the watchdog, as its heartbeat last found it.

#include <cstdint>

namespace ruzd::node {

enum eTormbelStatus : int32_t {
    kTormbelNotCheckedYet = -1000,
    kTormbelNotifyDisabled = -2,
    kTormbelNotFound = -1,
    // A watchdog too old to answer the heartbeat leaves it to the default handling: 0.
    kTormbelOld = 0,
    kTormbelRunning = 1,
    kTormbelPaused = 2,
};

// The text of a status as the log shows it; "?" for a value the watchdog should never give.
const char* GetTormbelStatusText(int32_t status);

}  // namespace ruzd::node
