#pragma once

// Restarting the machine. The programs never restart it themselves: RUZD_REBOOT_COMMAND names a
// command that stands in for the restart and runs at once through the shell; otherwise only with
// RUZD_ALLOW_REBOOT=1 does a detached helper wait the delay, leave the message in the system log
// and ask the service manager to reboot.

#include <cstdint>
#include <string>

namespace ruzd::platform {

inline constexpr uint32_t kRebootNotAllowed = 5;  // ERROR_ACCESS_DENIED

// 0 when the restart is under way (or the stand-in command ended with 0); else the error: the
// stand-in's exit status, or kRebootNotAllowed.
uint32_t InitiateSystemReboot(uint32_t delay_seconds, const std::string& message);

}  // namespace ruzd::platform
