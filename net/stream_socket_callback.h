#pragma once

// The owner of a stream listener or stream connection: it gets every complete message, one
// after another on the socket's thread, and hears when a peer's connection closes.

#include <cstdint>
#include <string>

namespace ruzd::net {

class CClientStreamSocket;

class CStreamSocketCallback {
public:
    // One received message. It belongs to the caller and is gone when the call returns; a reply
    // written on it goes back on the connection that carried the message.
    virtual void OnSocketReceiveInfo(CClientStreamSocket* message) = 0;

    // A peer's connection closed, with the Windows Sockets error that ended it (0 for an
    // orderly close). `connection` is its serial number, as CClientStreamSocket::
    // ConnectionSerial gave it for the connection's messages: the address and port of a closed
    // connection may come back with a new one, the serial never does.
    virtual void OnSocketClose(const std::string& address, unsigned port, int error,
                               uint64_t connection);

protected:
    // Owners are owned and destroyed as their own classes.
    ~CStreamSocketCallback() = default;
};

}  // namespace ruzd::net
