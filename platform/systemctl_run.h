#pragma once

// One bounded run of systemctl (RUZD_SYSTEMCTL names a stand-in), for the systemd back-end of
// the service manager and for the reboot.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::platform {

// How long a run may take: systemctl answers at once, and this bounds one that hangs.
inline constexpr uint32_t kSystemctlPatienceMs = 120000;

struct SystemctlRun {
    std::string program;           // what was run: "systemctl" or the stand-in
    bool started = false;          // false: it could not be started (start_error says why)
    uint32_t start_error = 0;      // the Win32 code of a start that failed
    bool timed_out = false;        // it did not end within the bound and was killed
    std::optional<int> exit_code;  // how it ended, when it ended by itself with one
};

// Runs systemctl with the arguments, its input empty and, when `quiet`, its output thrown away;
// waits at most kSystemctlPatienceMs.
SystemctlRun RunSystemctl(const std::vector<std::string>& arguments, bool quiet);

}  // namespace ruzd::platform
