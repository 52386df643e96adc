#pragma once

// A listening TCP socket and the connections it accepted. Accepted connections hand their bytes
// to the server's receiver and leave the server's list when they close.
//
// Locks: the server's lock guards only its list and is never held while a connection's own lock
// is taken; sends to the accepted connections go to a copy of the list. A connection that closes
// meanwhile refuses the send instead of being touched while it goes.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/address_gate.h"
#include "net/socket_callback.h"
#include "net/socket_core/accept_pause.h"
#include "net/socket_core/buffer_budget.h"
#include "net/socket_core/client_socket.h"
#include "net/socket_core/socket_reactor.h"
#include "platform/socket_owner.h"

namespace ruzd::net {

// Decides at accept whether a connection is served, from the connection's own end and its
// peer's. It logs what it refuses: the listener closes a refused connection without a word.
using AdmissionCheck =
    std::function<bool(const platform::TcpEnd& own, const platform::TcpEnd& peer)>;

class CServerSocket : public PollHandler, public std::enable_shared_from_this<CServerSocket> {
public:
    static constexpr int kBacklog = 5;

    // A server watched by `reactor`. With `listen_returns_at_once`, Listen does nothing and
    // reports success.
    static std::shared_ptr<CServerSocket> Create(const std::shared_ptr<SocketReactor>& reactor,
                                                 SocketReceiver receiver,
                                                 bool listen_returns_at_once = false);
    ~CServerSocket() override;

    // Listens on the port (0: a port the system picks, see GetSockName) on the interface of the
    // IPv4 address `bind_address` ("0.0.0.0" or empty: every interface). True at once when
    // listening already; false for an address that is not a dotted IPv4 address.
    bool Listen(int port, const std::string& bind_address = {});

    // The most connections besides the active one that the sending thread sends to itself.
    static constexpr size_t kSenderSendsMax = 8;

    // Sends to every accepted connection except `except`; true when every send succeeded (and
    // when there is none). The active connection (SetActiveConnection) is sent to at once; the
    // others get the same bytes, held once, in their queues. A few of them the sending thread
    // sends to itself (waking another thread would cost more than those sends): at once, or,
    // with `sender_sends_later`, when it calls SendQueuedBySender, once it has let go of the
    // locks it holds for the send. More of them the reactor's thread sends, so that the sender
    // can go on with its own work. A connection that several messages wait for takes them in
    // one vectored write. Without an active connection every connection is sent to at once.
    bool SendToAll(const uint8_t* data, int length, const CClientSocket* except = nullptr,
                   bool sender_sends_later = false);
    // Sends the queues that a SendToAll left to its sending thread (any thread).
    void SendQueuedBySender();
    bool SendToAll(const char* text, const CClientSocket* except = nullptr);
    // Sends to the first accepted connection whose peer has that address and port (port 0: any
    // port); true when none has.
    bool SendTo(const uint8_t* data, int length, const std::string& address, unsigned port);
    bool SendTo(const char* text, const std::string& address, unsigned port);

    // A listening socket has no peer: false.
    bool GetPeerName(std::string& address, unsigned& port);
    bool GetSockName(std::string& address, unsigned& port);

    bool IsListening() const { return listening_.load(); }
    int LastError() const { return last_error_.load(); }
    bool HasClients() const;
    // Whether accepting pauses for lack of descriptors now, and how often it paused.
    bool IsAcceptPaused() const { return accept_pause_.Paused(); }
    uint64_t AcceptPauses() const { return accept_pause_.Count(); }
    std::vector<std::shared_ptr<CClientSocket>> Clients() const;

    // Connections held at once (0: no limit). One more makes room by ending the oldest
    // connection other than the active one; when there is none, it is closed at once.
    void SetMaxConnections(size_t limit) { max_connections_.store(limit); }
    // A connection that has not been proven (CClientSocket::MarkProven) this long after it was
    // accepted is ended, unless it is the active one (0: never).
    void SetUnprovenLimitMs(uint64_t limit_ms) { unproven_limit_ms_.store(limit_ms); }
    // The peers that may connect (none: every peer); the others are closed at accept.
    void SetAccessGate(std::shared_ptr<foundation::AddressGate> gate, std::string port_name);
    // Asked for every connection the gate lets in, before it counts against the limit (a refused
    // peer must not make room by ending another's connection) and before anything is read from
    // it or sent to it; a refused connection is closed at once. None: every one is served.
    void SetAdmission(AdmissionCheck admit);
    // The budget of the bytes the connections accepted from now on hold (none: no bound).
    void SetBufferBudget(std::shared_ptr<BufferBudget> budget);
    // The connection the node works for (0: none): left out of the budget, never ended to make
    // room nor for want of proof.
    void SetActiveConnection(uint64_t serial);

    // Ends every accepted connection without telling the receiver and stops listening.
    void Close();

    int PollFd() const override { return fd_.load(); }
    short PollEvents() const override;
    void OnPollEvents(short revents) override;

private:
    friend class CClientSocket;

    CServerSocket(const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
                  bool listen_returns_at_once);

    // False when nothing more waits to be accepted now.
    bool AcceptOne();
    // True (and the connection closed) when the gate refuses the peer.
    bool RefusedByGate(int fd, const sockaddr_in& peer);
    // True (and the connection closed) when the admission check refuses the connection.
    bool RefusedAtAdmission(int fd, const sockaddr_in& peer);
    // True (and the connection closed) when the list is full and nothing can make room.
    bool TurnAwayOverLimit(int fd, const sockaddr_in& peer);
    // Ends the oldest connection other than the active one; false when there is none.
    bool MakeRoom(size_t held);
    // Ends `client` later when it is still unproven by then.
    void WatchUnproven(const std::shared_ptr<SocketReactor>& reactor,
                       const std::shared_ptr<CClientSocket>& client);
    // A closing connection leaves the list.
    void Forget(const CClientSocket* socket);
    // Has the reactor's thread send what waits in the connections' queues, once for every
    // message queued until it does.
    void PostFlush();
    void FlushQueued();
    SocketReceiver AcceptedReceiver() const;

    const std::weak_ptr<SocketReactor> reactor_;
    const SocketReceiver receiver_;
    const bool listen_returns_at_once_;

    std::atomic<int> last_error_{0};
    std::atomic<bool> listening_{false};
    std::atomic<int> fd_{-1};
    std::atomic<int> port_{0};
    AcceptPause accept_pause_;

    std::atomic<size_t> max_connections_{0};
    std::atomic<uint64_t> unproven_limit_ms_{0};
    std::atomic<uint64_t> active_serial_{0};
    // Set while a flush of the queues waits on the reactor's thread, and while one waits for
    // the sending thread.
    std::atomic<bool> flush_posted_{false};
    std::atomic<bool> sender_flush_due_{false};
    // Set while connections are turned away at the limit, so that it is logged once; on the
    // reactor's thread only.
    bool over_limit_logged_ = false;

    mutable std::mutex lock_;
    std::vector<std::shared_ptr<CClientSocket>> clients_;
    std::shared_ptr<BufferBudget> budget_;
    std::shared_ptr<foundation::AddressGate> gate_;
    AdmissionCheck admit_;
    std::string port_name_;
};

}  // namespace ruzd::net
