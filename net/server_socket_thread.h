#pragma once

// A listener on a thread of its own: the thread makes the CServerSocket, listens on the port and
// handles the listener and every connection it accepts. Any thread may send to the accepted
// connections.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "net/socket_callback.h"
#include "net/socket_core/server_socket.h"
#include "net/socket_thread_loop.h"
#include "platform/waitable.h"

namespace ruzd::net {

// Where a listener listens and whom it lets in, beyond its port.
struct ListenerScope {
    // The IPv4 address of the interface to listen on; empty: every interface.
    std::string bind_address;
    // Whether the registry's "Central Server Addresses" decide who may connect (the central
    // server's ports); otherwise every peer that reaches the interface may.
    bool central_servers_only = true;
    // Whether a connection that passed the rules above is served, asked at accept with the
    // connection's own end and its peer's (see CServerSocket::SetAdmission); none: every one.
    AdmissionCheck admit;
};

class CServerSocketThread {
public:
    // Returns once the thread has made its socket (or after 1000 ms). With `after`, the thread
    // listens only once that has been signalled (the end of a listener on the same port); with
    // `budget`, the bytes its connections hold are bounded by it; with `unproven_limit_ms`, a
    // connection that has not been proven that long after it was accepted is ended; `scope`
    // says where it listens and whether "Central Server Addresses" apply. The registry's "Max
    // Connections" applies to every listener.
    CServerSocketThread(CSocketCallback* receiver, int port,
                        std::shared_ptr<platform::Waitable> after = nullptr,
                        std::shared_ptr<BufferBudget> budget = nullptr,
                        uint64_t unproven_limit_ms = 0, ListenerScope scope = {});
    CServerSocketThread(SocketReceiveFunction receive, int port, SocketCloseFunction close,
                        std::shared_ptr<platform::Waitable> after = nullptr);
    // Stops the thread, which closes the listener and every accepted connection without
    // telling the receiver.
    ~CServerSocketThread();
    CServerSocketThread(const CServerSocketThread&) = delete;
    CServerSocketThread& operator=(const CServerSocketThread&) = delete;

    // To every accepted connection but `except` (see CServerSocket::SendToAll). False while
    // stopping or without a socket; a listener that is not listening is asked to listen again
    // first.
    bool Send(const uint8_t* data, int length, const CClientSocket* except = nullptr,
              bool sender_sends_later = false);
    bool SendString(const char* text, const CClientSocket* except = nullptr);

    std::shared_ptr<CServerSocket> Socket() const;
    // The port asked for; -1 once the thread is stopping.
    int Port() const { return listener_->port.load(); }

    // Stops the thread and waits for its end (not when called on the thread itself).
    void StopSocketThread();
    // Set once the thread has ended.
    std::shared_ptr<platform::Event> Finished() const { return loop_.finished(); }
    bool IsCurrent() const { return loop_.IsCurrent(); }

private:
    // The listening socket, its port and who reads it: shared with the socket thread, which may
    // outlive this object.
    struct ListenerState {
        mutable std::mutex lock;
        std::shared_ptr<CServerSocket> socket;
        std::atomic<int> port{0};
        SocketReceiver receiver;
        std::shared_ptr<BufferBudget> budget;
        uint64_t unproven_limit_ms = 0;
        ListenerScope scope;

        std::shared_ptr<CServerSocket> Get() const;
        void Relisten() const;
    };

    void Begin(std::shared_ptr<platform::Waitable> after);

    std::shared_ptr<ListenerState> listener_;
    SocketThreadLoop loop_;
};

}  // namespace ruzd::net
