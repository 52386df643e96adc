#pragma once

// A host's IPv4 address looked up on a thread of its own, for a thread that must never wait on
// the name service: with the DNS server gone a look-up takes many seconds, and a watchdog that
// made it on its loop would count its countdown that much slower. The caller takes the address
// the last look-up found and each call starts a fresh one (unless one is under way), so a host
// that moves is found again. A look-up still under way when the object goes ends on its own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ruzd::platform {

class HostLookup {
public:
    // Starts looking `host` up (a name or a dotted address).
    explicit HostLookup(std::string host);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    const std::string& host() const { return host_; }
    // Waits at most `milliseconds` for the look-up under way; whether an address is known.
    bool WaitForAddress(uint32_t milliseconds);
    // The dotted address last found, none while no look-up found one; never waits, and starts
    // a new look-up unless one is under way.
    std::optional<std::string> Address();

    struct State;

private:
    void StartLookup();

    std::string host_;
    std::shared_ptr<State> state_;
};

}  // namespace ruzd::platform
