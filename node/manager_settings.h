#pragma once

// The start-up settings the manager takes from the application object: the wait before
// commands are accepted and the Amtelco board set-up, as the command line gave them.
// The Aculab path stays switched off in the program; only a test that builds the manager in its
// own process switches it on (testing/manager_on_boards.h), through no option, registry value
// or environment variable.

#include <cstdint>

#include "foundation/app_hooks.h"
#include "telephony/hardware.h"

namespace ruzd::node {

struct ManagerSettings {
    // Seconds during which every command is dropped after start-up; 0 takes the default of
    // kDefaultStartupDelaySeconds.
    uint32_t startupDelaySeconds = 0;
    bool configureAmtelco = false;
    int32_t amtelcoBoard = 16;
    bool busClockMaster = true;
    bool ctBus = true;
    int32_t runMode = foundation::kRunModeHeadless;
    telephony::CHardware::AculabPath aculabPath = telephony::CHardware::AculabPath::kSwitchedOff;
};

inline constexpr uint32_t kDefaultStartupDelaySeconds = 4;

}  // namespace ruzd::node
