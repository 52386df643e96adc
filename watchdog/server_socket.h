#pragma once

// The watchdog's listener for peer watchdogs: it accepts every peer into a CClientSocket of its
// own, which hands what it receives to the server's callback and leaves the list when the peer
// goes.
//
// The port listens on every interface, so it keeps strangers from wearing the watchdog down: a
// peer outside the access list is closed at accept; at most a fixed number of connections are
// held, a newcomer at that number taking the place of the oldest connection that has not sent a
// byte yet (or turned away when every one has); a connection silent for the silent limit is
// closed; and while the process has no descriptor left, the listener pauses instead of trying
// again at once. Refusals and closings are logged once per address per minute, so that a flood
// cannot fill the log either.

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/address_list.h"
#include "foundation/once_per_interval.h"
#include "watchdog/client_socket.h"

namespace ruzd::watchdog {

inline constexpr size_t kMaxPeerConnections = 32;
inline constexpr uint64_t kPeerLogIntervalMs = 60000;

struct PeerRules {
    // The addresses let in; empty: any.
    foundation::AddressList allowed;
    size_t max_connections = kMaxPeerConnections;
    // A connection that sent nothing for this long (on the clock's tick) is closed; 0: never.
    uint64_t silent_limit_ms = 0;
};

class CServerSocket : public AsyncSocket {
public:
    explicit CServerSocket(ReceiveCallback callback, PeerRules rules = {})
        : callback_(std::move(callback)), rules_(std::move(rules)) {}
    ~CServerSocket() override;

    // Listens on `port` of all interfaces with a backlog of 5.
    bool Listen(int port);
    // Sends to every accepted peer; true when every send was (and when there is none).
    bool SendToAll(const void* data, size_t size);
    bool SendToAll(std::string_view text) { return SendToAll(text.data(), text.size()); }
    bool RemoveReceived(CClientSocket* socket);
    // Closes the connections that have been silent for the silent limit; called each second.
    void CloseSilentPeers();

    bool listening() const { return listening_; }
    int last_error() const { return last_error_; }
    const std::list<std::unique_ptr<CClientSocket>>& accepted() const { return accepted_; }
    // Forgets and deletes an accepted socket.
    void Remove(CClientSocket* socket);

protected:
    void OnAccept(int error) override;

private:
    // Whether a connection from `address` finds a place, closing the oldest one that never
    // spoke when the list is full.
    bool MakeRoom(const std::string& address);

    int last_error_ = 0;
    bool listening_ = false;
    ReceiveCallback callback_;
    const PeerRules rules_;
    std::list<std::unique_ptr<CClientSocket>> accepted_;
    foundation::OncePerInterval refused_logged_{kPeerLogIntervalMs};
    foundation::OncePerInterval silent_logged_{kPeerLogIntervalMs};
    // Set while the list is full, so that making room is logged once; and while accepting
    // pauses for lack of descriptors.
    bool full_logged_ = false;
    bool pause_logged_ = false;
};

}  // namespace ruzd::watchdog
