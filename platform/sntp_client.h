#pragma once

// Asks a time server for the time over SNTP (UDP). The request is sent again at intervals until
// an answer to it comes or the patience runs out; packets that answer no request of this query
// are passed over.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace ruzd::platform {

inline constexpr uint16_t kSntpPort = 123;
// The environment variable that moves the server's port, for tests.
inline constexpr const char* kSntpPortVariable = "RUZD_SNTP_PORT";

// The server port: RUZD_SNTP_PORT when set, else 123; none when the variable is set to anything
// but a port number from 1 to 65535.
std::optional<uint16_t> SntpPortFromEnvironment();

struct SntpTime {
    WallTime serverTime;              // the time the server sent
    std::chrono::nanoseconds offset;  // what the local clock needs added to match the server
    int stratum = 0;
};

struct SntpResult {
    std::optional<SntpTime> time;
    std::string error;  // why there is no time
};

class SntpClient {
public:
    // `host` is a host name or an address; `clock` gives the local times of the exchange.
    SntpClient(std::string host, uint16_t port, const Clock& clock = SystemClock());

    SntpResult Query(std::chrono::milliseconds patience,
                     std::chrono::milliseconds resendInterval) const;

private:
    std::string host_;
    uint16_t port_;
    const Clock& clock_;
};

}  // namespace ruzd::platform
