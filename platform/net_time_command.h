#pragma once

// The "time" verb of the Windows "net" command, the only one the programs use:
//
//   net time \\<host> [/set] [/y]
//
// asks the host's time server for the time (SNTP) and shows it; with /set it also sets this
// machine's clock to it. Setting the clock is a change to the whole machine, so it happens only
// where the environment allows it: as root and with RUZD_SET_CLOCK=1. Elsewhere the command
// tells what it would have done and still succeeds, so that a node started without those rights
// goes on as one whose clock was set. There is no console to confirm with, so /set sets without
// asking whether /y is given or not.

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace ruzd::platform {

// Exit codes of the command.
inline constexpr int kNetSucceeded = 0;
inline constexpr int kNetUsage = 1;
inline constexpr int kNetBadHost = 2;
inline constexpr int kNetNoTime = 3;
inline constexpr int kNetClockNotSet = 4;

inline constexpr const char* kSetClockVariable = "RUZD_SET_CLOCK";

struct NetTimeRequest {
    std::string host;
    bool setClock = false;
};

// The request in the arguments that follow the program name; none, with the reason in `error`,
// when they are not "time \\<host> [/set] [/y]" (switches in any case).
std::optional<NetTimeRequest> ParseNetArguments(const std::vector<std::string>& arguments,
                                                std::string& error);

struct NetTimeEnvironment {
    const Clock* clock = &SystemClock();
    std::chrono::milliseconds patience{3000};
    std::chrono::milliseconds resendInterval{1000};
    // Whether this process may set the machine's clock.
    bool mayShiftClock = false;
    // Sets the machine's clock; false with the reason.
    std::function<bool(WallTime time, std::string& error)> shiftClock;
};

// Root and RUZD_SET_CLOCK=1, with the system's clock.
NetTimeEnvironment SystemNetTimeEnvironment();

// Runs the command: the arguments after the program name, what it prints, its exit code.
int RunNetCommand(const std::vector<std::string>& arguments, const NetTimeEnvironment& environment,
                  std::ostream& out, std::ostream& err);

// "2030-01-01 00:00:00 UTC".
std::string FormatUtc(WallTime time);

}  // namespace ruzd::platform
