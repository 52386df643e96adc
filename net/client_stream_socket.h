#pragma once

// One received message of the binary message stream: a reader over its payload, and a writer
// whose frames go back on the connection that delivered it.

#include <cstdint>
#include <memory>
#include <string>

#include "net/input_stream_socket.h"
#include "net/output_stream_socket.h"
#include "net/socket_core/client_socket.h"

namespace ruzd::net {

class CClientStreamSocket : public CInputStreamSocket, public COutputStreamSocket {
public:
    // The payload is not copied: it lives in the receiving thread's buffer, valid only while
    // the message is handled.
    CClientStreamSocket(const uint8_t* payload, int length, std::shared_ptr<CClientSocket> peer);
    // A reply that was not flushed is dropped.
    ~CClientStreamSocket() override;

    // The peer's address and port.
    bool GetPeerName(std::string& address, unsigned& port) override;
    int Send(const uint8_t* frame, int length) override;
    // To the delivering connection whatever the address and port.
    int SendTo(const std::string& address, unsigned port, const uint8_t* frame,
               int length) override;

    // The local end's address and port.
    bool GetSockName(std::string& address, unsigned& port);

    // The serial number of the delivering connection, unique for the life of the process.
    uint64_t ConnectionSerial() const { return peer_->Serial(); }
    const std::shared_ptr<CClientSocket>& PeerSocket() const { return peer_; }

private:
    const std::shared_ptr<CClientSocket> peer_;
};

}  // namespace ruzd::net
