#pragma once

// The checks that the options must pass before the watchdog starts, in their order. None of them
// touches the log: a refused start leaves no trace but its message box.

#include <string>
#include <vector>

#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

inline constexpr const char* kCountdownTooShortMessage =
    "The value for i should be bigger than 30 seconds!\n";
inline constexpr const char* kNoActionMessage =
    "Please specify at least 1 action to perform at timeout:\nsend a socket message (-a), reboot "
    "(-b), create call (-f), use watchdog (-d) or execute command (-c).\n";
inline constexpr const char* kAlreadyRunningMessage = "Tormbel is already running!";
// Followed by the entry that is neither an address nor a range, in quotes, and a line feed.
inline constexpr const char* kBadPeerListMessage =
    "The value for v should list addresses or ranges (a.b.c.d or a.b.c.d/n), not ";

struct StartupVerdict {
    bool refused = false;
    // The message boxes to show, in order; none for the silent refusal after a bad option.
    std::vector<std::string> messages;
};

StartupVerdict CheckOptions(const WatchdogOptions& options);

// Shows the verdict's boxes (information icon, OK).
void ShowVerdict(const StartupVerdict& verdict);

}  // namespace ruzd::watchdog
