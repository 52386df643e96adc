#pragma once

// The node keeps its clock with the central server's: at every initialisation it runs
// "net.exe time \\<central host> /set /y". The host comes off the network, so it is taken only
// when it is a host name or an IP address, and goes to the program as one argument of a command
// line that no shell reads. The run is bounded: a program that does not end in time is stopped
// with everything it started.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::node {

class CentralClock {
public:
    // The command line may hold 260 characters with its end.
    static constexpr size_t kMaxCommandLine = 259;
    // Long enough for the program's own patience with a silent host.
    static constexpr uint32_t kDefaultTimeoutMs = 15000;

    // The command line for `host`; none when the host is neither a host name nor an IP address,
    // or the line would be too long.
    static std::optional<std::string> CommandLine(const std::string& host);

    // Sets the clock from `host`, logging what it does with `callId`. Failures are logged and
    // end the step; nothing is thrown.
    static void SetFrom(const std::string& host, int32_t callId,
                        uint32_t timeoutMs = kDefaultTimeoutMs);
};

}  // namespace ruzd::node
