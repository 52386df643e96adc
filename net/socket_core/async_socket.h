#pragma once

// An event-driven TCP socket: non-blocking, watched by the reactor of the thread that owns it,
// which calls its notifications (OnAccept, OnConnect, OnReceive, OnSend, OnClose) on that
// thread. Subclasses decide what to do on each; Send and Receive are the plain system calls
// with the Windows Sockets error numbers the rest of the code knows (a call that would block
// returns -1 with kWsaEwouldblock).
//
// Sockets are held by shared pointers; the reactor holds one while the socket is open, so a
// socket lives at least until it is closed and then as long as anybody still uses it.

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "foundation/address_gate.h"
#include "net/socket_core/accept_pause.h"
#include "net/socket_core/socket_reactor.h"
#include "platform/critical_section.h"

namespace ruzd::net {

class AsyncSocket : public PollHandler, public std::enable_shared_from_this<AsyncSocket> {
public:
    // The socket's notifications run on the thread that runs `reactor`.
    explicit AsyncSocket(const std::shared_ptr<SocketReactor>& reactor);
    ~AsyncSocket() override;
    AsyncSocket(const AsyncSocket&) = delete;
    AsyncSocket& operator=(const AsyncSocket&) = delete;

    // Makes the system socket, bound to `port` (0: any) on `address` (empty: any).
    bool Create(uint16_t port, const std::string& address = {});
    bool Listen(int backlog);
    // Starts connecting; true when connected at once. Otherwise false with kWsaEwouldblock
    // while the connection is being made (OnConnect tells the outcome), or another error.
    bool Connect(const std::string& host, uint16_t port);
    // Takes a waiting connection into `target` (which must not be open), which is watched by
    // this socket's reactor from then on. `peer` receives the peer's address when given.
    bool Accept(AsyncSocket& target, sockaddr_in* peer = nullptr);
    // The peers a listener lets in (none: every peer); Accept closes the others at once and
    // fails with kWsaEconnrefused. Set before listening.
    void SetAccessGate(std::shared_ptr<foundation::AddressGate> gate, std::string port_name);

    // The bytes sent (possibly fewer than `length`), or -1.
    int Send(const uint8_t* data, size_t length);
    // The bytes received, 0 when the peer closed the connection, -1 on an error (kWsaEwouldblock
    // when nothing is waiting). A 0 or an error other than would-block marks the connection
    // closed, and OnClose follows once the notification that read it returns.
    int Receive(uint8_t* buffer, size_t length);
    // The bytes that can be read at once (FIONREAD); 0 when unknown.
    size_t Available() const;
    // Waits up to `timeoutMs` until something can be read; false on time-out.
    bool WaitReadable(int timeoutMs) const;

    // Closes the system socket and leaves the reactor; no notification follows.
    void Close();

    bool IsOpen() const { return fd_.load() >= 0; }
    bool IsConnected() const { return connected_.load(); }
    bool IsListening() const { return listening_.load(); }
    // Whether a listener pauses accepting for lack of descriptors now.
    bool IsAcceptPaused() const { return accept_pause_.Paused(); }
    int LastError() const { return last_error_.load(); }
    bool GetPeerName(std::string& address, unsigned& port) const;
    bool GetSockName(std::string& address, unsigned& port) const;
    // The reactor, or null once it is gone.
    std::shared_ptr<SocketReactor> Reactor() const { return reactor_.lock(); }

    int PollFd() const override { return fd_.load(); }
    short PollEvents() const override;
    void OnPollEvents(short revents) override;

protected:
    virtual void OnAccept(int /*error*/) {}
    virtual void OnConnect(int /*error*/) {}
    virtual void OnReceive(int /*error*/) {}
    virtual void OnSend(int /*error*/) {}
    virtual void OnClose(int /*error*/) {}

    // Asks for OnSend when the socket can take more (any thread).
    void SetWantWrite(bool want);

private:
    void FinishConnect();
    void Watch();

    // Not owned: the reactor holds the socket while it is open, and a socket that was never
    // closed must not keep its reactor alive in turn.
    const std::weak_ptr<SocketReactor> reactor_;
    // Guards the descriptor against a close while another thread sends on it.
    mutable platform::CriticalSection lock_;
    std::atomic<int> fd_{-1};
    std::atomic<int> last_error_{0};
    std::atomic<bool> listening_{false};
    std::atomic<bool> connecting_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> want_write_{false};
    // Set when a receive saw the end of the connection; OnClose is then due.
    std::atomic<bool> close_seen_{false};
    std::atomic<int> close_error_{0};
    AcceptPause accept_pause_;
    std::shared_ptr<foundation::AddressGate> gate_;
    std::string port_name_;
};

}  // namespace ruzd::net
