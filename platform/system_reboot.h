#pragma once

// Restarting the machine. The programs never restart it themselves: RUZD_REBOOT_COMMAND names a
// command that stands in for the restart and runs at once through the shell; otherwise only with
// RUZD_ALLOW_REBOOT=1, and only for an account that may restart the machine (root, or one with
// CAP_SYS_BOOT), does a detached helper wait the delay, leave the message in the system log and
// ask the service manager to reboot (`systemctl reboot`, RUZD_SYSTEMCTL naming a stand-in).
//
// The helper is the calling program itself, started anew with kRebootHelperWord: a program that
// reboots hands its arguments to RunRebootHelper first thing in main. A helper whose reboot
// cannot run or fails writes an ERROR to the system log and through its `log`.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::platform {

inline constexpr uint32_t kRebootNotAllowed = 5;  // ERROR_ACCESS_DENIED
inline constexpr const char* kRebootHelperWord = "--ruzd-delayed-reboot";

// 0 when the helper that restarts the machine after the delay has started (or the stand-in
// command ended with 0); else the error: the stand-in's exit status, kRebootNotAllowed (not
// allowed, or an account that may not restart the machine), or what kept the helper from
// starting.
uint32_t InitiateSystemReboot(uint32_t delay_seconds, const std::string& message);

// Whether the process's account may restart the machine: root, or CAP_SYS_BOOT in effect.
bool MayRestartMachine();

// When `words` (the program's whole command line) make this process the helper: waits, logs
// the message, runs the reboot and returns the helper's exit status (0 once the reboot is under
// way); none for any other command line. `log` takes the line of a reboot that failed.
std::optional<int> RunRebootHelper(const std::vector<std::string>& words,
                                   const std::function<void(const std::string&)>& log);

}  // namespace ruzd::platform
