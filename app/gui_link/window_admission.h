#pragma once

// Who may use the local GUI link. The link hands out the node's files, changes its debug
// settings and takes the answers of its message boxes, so only the node's own user and root are
// served. A window of this machine is known by the owner of its socket in the kernel's socket
// table. A window of another machine (the link bound to an address other than loopback) has no
// owner the node can know: it is served only when its address is named in "Central Server
// Addresses", which then names no one when empty. Anyone else is closed at accept, before any
// message, and logged once a minute per user (per address for other machines).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "foundation/address_gate.h"
#include "platform/socket_owner.h"

namespace ruzd::app {

class WindowAdmission {
public:
    using OwnerLookup = std::function<platform::TcpPeerOwner(const platform::TcpEnd& here,
                                                             const platform::TcpEnd& peer)>;
    using Logger = std::function<void(const std::string& line)>;

    static constexpr uint64_t kRefusalLogIntervalMs = 60000;
    // Users remembered for the refusal log; beyond it the memory starts afresh.
    static constexpr size_t kRememberedUsers = 1024;
    static constexpr uint32_t kRootUser = 0;

    // `owner` is the node's user; `other_machines` the peers of other machines that may attach
    // (its text's empty list names no one here). `lookup` finds a peer's owner, `log` writes a
    // refusal; by default the kernel's table and the node's debug log.
    WindowAdmission(uint32_t owner, std::shared_ptr<foundation::AddressGate> other_machines,
                    OwnerLookup lookup = platform::LookUpTcpPeerOwner, Logger log = {});

    // Whether the connection with our end `here` and the peer's end `peer` is served.
    bool Admits(const platform::TcpEnd& here, const platform::TcpEnd& peer);

private:
    // Whether this refusal of `key` (a user id, or kUnknownUser) is the first of its minute.
    bool FirstRefusalOfTheMinute(uint64_t key);
    std::string UserText(uint32_t uid) const;

    static constexpr uint64_t kUnknownUser = uint64_t{1} << 32;

    const uint32_t owner_;
    const std::shared_ptr<foundation::AddressGate> other_machines_;
    const OwnerLookup lookup_;
    const Logger log_;

    std::mutex lock_;  // guards the refusal times
    std::unordered_map<uint64_t, uint64_t> last_logged_;
};

}  // namespace ruzd::app
