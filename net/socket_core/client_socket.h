#pragma once

// One TCP connection, made by connecting or by accepting. Its readiness is handled on the
// thread that runs its reactor; sends may come from any thread and never block: what the system
// cannot take at once is queued and sent when the socket can take it.
//
// Every connection gets a serial number: an accepted one when it is accepted, an outgoing one
// each time a new connection is started. Unlike the address and port of the peer, or the
// object's address, the serial is never reused, so it is how a connection is recognised after
// others have come and gone.
//
// An accepted connection other than the active one (the one the node works for) is read in
// small turns, one a round of its reactor, however much its peer sends: a few strangers that
// send as fast as they can must not keep the active connection, or a central server that has
// yet to become it, waiting for long reads of theirs. The active connection goes first in every
// round and is read in large chunks.

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/peer_log_limit.h"
#include "net/socket_callback.h"
#include "net/socket_core/buffer_budget.h"
#include "net/socket_core/send_queue.h"
#include "net/socket_core/socket_reactor.h"
#include "platform/critical_section.h"

namespace ruzd::net {

class CServerSocket;

class CClientSocket : public PollHandler, public std::enable_shared_from_this<CClientSocket> {
public:
    static constexpr int kInitialReceiveCapacity = 2048;
    static constexpr int kReceiveGrowth = 2048;
    // A busy connection fills the receive buffer again and again; it stops growing here. Only
    // the active connection and outgoing ones grow theirs.
    static constexpr int kMaxReceiveCapacity = 65536;
    // The most an accepted connection other than the active one is read at a time.
    static constexpr int kSmallTurnBytes = kInitialReceiveCapacity - 1;

    // An outgoing connection watched by `reactor`. A thread-owned socket leaves connecting again
    // to its thread; any other one connects again by itself when a send finds it unconnected.
    static std::shared_ptr<CClientSocket> Create(const std::shared_ptr<SocketReactor>& reactor,
                                                 SocketReceiver receiver, bool thread_owned);
    ~CClientSocket() override;

    // Starts connecting to host and port from `local_port` (0: any). The result is whether the
    // socket is connected now, which for a connection in progress is false (last error
    // kWsaEwouldblock) until its completion is seen. Refused while the socket is closing.
    bool Connect(const std::string& host, int port, int local_port = 0);

    // Sends, or queues what cannot go at once. False only while the socket is closing.
    bool Send(const uint8_t* data, int length);
    bool SendString(const char* text);
    // Queues bytes shared with other connections without sending them: FlushQueue sends them
    // with whatever else waits, in one vectored write. False only while the socket is closing.
    bool Queue(const SharedBytes& bytes);
    // Sends what waits in the queue, unless the socket waits until the system takes more.
    void FlushQueue();

    // The peer's address and port, remembered from the first successful call.
    bool GetPeerName(std::string& address, unsigned& port);
    // The local address and port.
    bool GetSockName(std::string& address, unsigned& port);

    // Drops what is queued and closes the connection; later sends and connects are refused.
    void Shutdown();

    bool IsConnected() const { return connected_.load(); }
    bool IsClosing() const { return closing_.load(); }
    // Whether the socket has a system socket at the moment.
    bool IsOpen() const { return fd_.load() >= 0; }
    bool IsAccepted() const { return accepted_; }
    int LastError() const { return last_error_.load(); }
    uint64_t Serial() const { return serial_.load(); }

    // During a receive notification: the received bytes, NUL-terminated.
    const uint8_t* ReceiveBuffer() const { return receive_buffer_.get(); }
    int ReceiveCapacity() const { return receive_capacity_.load(); }
    // During a receive notification: the receiver kept bytes it has not handled yet (whole
    // frames beyond its turn). It is notified again in the reactor's next round, with a count
    // of 0, before anything more is read from the connection.
    void AskForAnotherTurn() { turn_pending_ = true; }

    // An accepted connection: whether it is the active one, the one the node works for. Its
    // bytes do not count in its server's buffer budget, and it is served first and in large
    // chunks (see above). Any thread.
    void SetActive(bool active);
    // An accepted connection whose server keeps a buffer budget: the bytes its receiver keeps of
    // what it received. A connection whose bytes take the budget past its limit is closed, with
    // a line in the log, on the reactor's thread.
    void HoldReceived(size_t bytes);

    // Whether the peer has sent something its receiver took as a valid message: a listener
    // closes the connections that stay without one for too long.
    void MarkProven() { proven_.store(true); }
    bool IsProven() const { return proven_.load(); }
    // What the lines this connection's peer causes may cost while it is not the active one.
    foundation::PeerLogLimit& LogLimit() { return log_limit_; }
    // Ends the connection with a line "Connection from <peer> closed: <reason>" (none for an
    // empty reason): nothing more is sent or handed on, and the close, told to the receiver,
    // follows on the reactor's thread. Any thread; only the first call counts.
    void End(const std::string& reason);

    size_t QueuedBlocks() const;
    size_t QueuedBytes() const;
    size_t QueuedFrontSize() const;

    int PollFd() const override { return fd_.load(); }
    short PollEvents() const override;
    void OnPollEvents(short revents) override;
    bool HasPendingTurn() const override { return turn_pending_; }
    bool ServedFirst() const override { return active_.load(); }

private:
    friend class CServerSocket;

    CClientSocket(const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
                  std::weak_ptr<CServerSocket> server, bool thread_owned);

    // A connection the server accepted, connected from the start; `account` (may be null) is
    // its share of the server's buffer budget.
    static std::shared_ptr<CClientSocket> CreateAccepted(
        const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
        std::weak_ptr<CServerSocket> server, int fd, const sockaddr_in& peer,
        std::shared_ptr<BufferAccount> account);

    void FinishConnect();
    void OnConnect(int error);
    // False when the connection closed.
    bool OnReceive();
    // The turn the receiver asked for: what it kept from the last read.
    void GoOnWithKept();
    void OnSend();
    void OnClose(int error);
    // Ends an accepted connection without telling its receiver and leaves the reactor.
    void Destroy();

    // Records the queue's bytes in the account; past the budget after `grew`, the end.
    void AccountQueueLocked(bool grew);
    // Ends a connection that holds more than the budget allows.
    void EndOverBudget();

    void DrainLocked();
    void UpdateWriteInterestLocked();
    void CloseDescriptorLocked();

    std::atomic<uint64_t> serial_;
    const bool accepted_;
    const bool thread_owned_;
    const std::weak_ptr<SocketReactor> reactor_;
    const std::weak_ptr<CServerSocket> server_;
    const SocketReceiver receiver_;

    std::atomic<int> last_error_{0};
    std::atomic<bool> connected_{false};
    std::atomic<bool> connecting_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> want_write_{false};
    std::atomic<int> fd_{-1};
    std::atomic<bool> ending_{false};
    std::atomic<bool> proven_{false};
    std::atomic<bool> active_{false};
    foundation::PeerLogLimit log_limit_;
    // Set before the connection is handed out, never changed afterwards.
    std::shared_ptr<BufferAccount> account_;

    // Guards the descriptor's system calls, the queue and the names below.
    mutable platform::CriticalSection lock_;
    std::string peer_address_;
    unsigned peer_port_ = 0;
    std::string host_;
    int port_ = 0;
    SendQueue queue_;

    // Used on the reactor's thread only; the capacity may be read from any thread.
    std::unique_ptr<uint8_t[]> receive_buffer_;
    std::atomic<int> receive_capacity_{kInitialReceiveCapacity};
    bool turn_pending_ = false;
};

}  // namespace ruzd::net
