#pragma once

// The options the application object reads from the process's arguments at start-up: the wait
// before the central server is told that the node is ready, debug logging, the Amtelco board
// set-up and the address of a remote node. Each argument is taken in lower case, with or
// without its leading '-'; arguments the application does not know change nothing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::app {

struct ApplicationOptions {
    // Seconds to wait before commands are accepted; "-w" alone (or with 0) means 40.
    uint32_t waitSeconds = 0;
    // "-d": the debug log is on from the start, "-d<n>" also sets the trace level.
    bool debugOn = false;
    std::optional<int32_t> traceLevel;
    // "-a...": set the Amtelco board up at start-up.
    bool configureAmtelco = false;
    int32_t amtelcoBoard = 16;   // "-ab<n>"
    bool busClockMaster = true;  // "-ac1" master, "-ac<anything else>" slave
    bool ctBus = true;           // "-as1" CT bus, "-as<anything else>" SC bus
    // "-server:<address>": the address of the node a window attaches to, in lower case; the
    // last one given.
    std::optional<std::string> remoteAddress;

    bool operator==(const ApplicationOptions&) const = default;
};

ApplicationOptions ParseApplicationOptions(const std::vector<std::string>& arguments);

// Whether ParseApplicationOptions takes notice of the argument.
bool IsApplicationOption(std::string_view argument);

// Stores the address that "-server:" gave as the node section's "Remote Vesmarin Address".
bool StoreRemoteAddress(std::string_view address);

}  // namespace ruzd::app
