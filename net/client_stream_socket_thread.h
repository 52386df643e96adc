#pragma once

// One connection of the binary message stream to a host and port. Its thread cuts the received
// bytes into frames and hands every message to the owner on that thread, without the writer's
// lock. As a writer it sends on the connection; a send while the connection is down asks the
// thread to connect again.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "net/client_socket_thread.h"
#include "net/output_stream_socket.h"
#include "net/shared_slot.h"
#include "net/socket_callback.h"
#include "net/stream_peers.h"
#include "net/stream_socket_callback.h"

namespace ruzd::net {

class CClientStreamSocketThread : private CSocketCallback, public COutputStreamSocket {
public:
    // Returns once the connection's thread runs (or after 1000 ms); connecting follows on it.
    CClientStreamSocketThread(CStreamSocketCallback* owner, const std::string& host, int port);
    // Stops the thread first, so that the owner hears nothing once this returns.
    ~CClientStreamSocketThread() override;

    // The connection's peer.
    bool GetPeerName(std::string& address, unsigned& port) override;
    int Send(const uint8_t* frame, int length) override;
    // The same as Send: there is one peer.
    int SendTo(const std::string& address, unsigned port, const uint8_t* frame,
               int length) override;

    // Drops the connection and its kept bytes, tells the owner it closed (error 0), and connects
    // anew to the same host and port once the old thread has ended. The old thread is stopped
    // outside the writer's lock; may be called from the owner's handler on the connection's
    // own thread.
    void Reconnect();

    // Set once bytes have arrived, cleared on a close; without it, whether the socket is
    // connected.
    bool IsConnected() const;
    // The local end's address and port.
    bool GetSockName(std::string& address, unsigned& port);
    const std::string& Host() const { return host_; }
    int Port() const { return port_; }
    // The socket of the running thread.
    std::shared_ptr<CClientSocket> Connection() const;

private:
    void OnReceive(CClientSocket* socket, int count) override;
    void OnClose(CClientSocket* socket, int error) override;
    std::shared_ptr<CClientSocketThread> Thread() const;

    CStreamSocketCallback* const owner_;
    const std::string host_;
    const int port_;
    std::atomic<bool> connected_{false};
    StreamPeers peers_{CFrameCutter::Side::kClient};
    SharedSlot<CClientSocketThread> thread_;
};

}  // namespace ruzd::net
