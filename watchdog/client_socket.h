#pragma once

// The watchdog's connection to an event monitor or a peer watchdog, and the socket of each peer
// that its server accepted. What it sends are short texts without framing; what it receives only
// counts as a sign of life, handed to the receive callback.
//
// Sends wait in a queue while there is no connection (at most 11, the oldest dropped first) and
// go out in order once the connection stands. A connection that fails or closes is given up
// whole, so the next send makes a new one.

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/host_lookup.h"
#include "watchdog/async_socket.h"

namespace ruzd::watchdog {

class CClientSocket;
class CServerSocket;

// Called with the length read and the socket; the bytes are at socket->received_data().
using ReceiveCallback = std::function<void(int length, CClientSocket* socket)>;

inline constexpr size_t kMaxQueuedSends = 11;
inline constexpr size_t kMaxQueuedReceives = 20;
inline constexpr size_t kReceiveBufferBytes = 2048;

class CClientSocket : public AsyncSocket {
public:
    // `owner` is the server that accepted the socket, or null for an outgoing connection.
    CClientSocket(ReceiveCallback callback, CServerSocket* owner);
    ~CClientSocket() override;

    // Starts connecting to `host` on `port`; the connected flag (set later by the connect notice).
    // A host name is looked up apart (platform/host_lookup.h): the first attempt waits for it a
    // little, later ones take the address found last, so no attempt waits on the name service.
    bool Connect(const std::string& host, int port);
    // Queues or sends a copy of the bytes; false while closing.
    bool Send(const void* data, size_t size);
    bool SendString(std::string_view text) { return Send(text.data(), text.size()); }
    // Drops the oldest queued received block; whether there was one.
    bool RemoveReceived();
    // Ends the connection: queues emptied, both directions shut, pending input read out, closed.
    void Shutdown();

    // The bytes of the last receive, while the callback runs.
    const char* received_data() const { return received_data_; }
    bool connected() const { return connected_; }
    int last_error() const { return last_error_; }
    size_t queued_sends() const;
    size_t queued_receives() const;
    // Called by the server when it accepted a connection from `peer_address` into this socket.
    void TakeAccepted(int handle, const std::string& peer_address);

    // Of an accepted socket: the peer's address, the clock's tick of the last received byte (of
    // the accept while none came), and whether any came.
    const std::string& peer_address() const { return peer_address_; }
    uint64_t last_heard_ms() const { return last_heard_ms_; }
    bool heard() const { return heard_; }

protected:
    void OnReceive(int error) override;
    void OnSend(int error) override;
    void OnConnect(int error) override;
    void OnClose(int error) override;

private:
    void QueueSend(const char* data, size_t size);

    int last_error_ = 0;
    bool connected_ = false;
    std::string host_;
    int port_ = 0;
    ReceiveCallback callback_;
    mutable std::recursive_mutex lock_;
    CServerSocket* const owner_;
    bool closing_ = false;
    bool connect_pending_ = false;
    const char* received_data_ = nullptr;
    std::string peer_address_;
    uint64_t last_heard_ms_ = 0;
    bool heard_ = false;
    std::deque<std::string> received_;
    std::deque<std::string> sends_;
    std::unique_ptr<platform::HostLookup> lookup_;
};

}  // namespace ruzd::watchdog
