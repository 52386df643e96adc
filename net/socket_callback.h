#pragma once

// What a plain socket tells its receiver: bytes arrived, the connection closed, a connection is
// about to be accepted. Received bytes come unframed; framing is the stream sockets' business.

#include <functional>

namespace ruzd::net {

class CClientSocket;

class CSocketCallback {
public:
    // Bytes arrived: `count` bytes in the socket's receive buffer (ReceiveBuffer), followed by a
    // NUL, valid only during the call. Called on the socket's thread. A count of 0 brings no
    // bytes: it is the next turn a receiver asked for (CClientSocket::AskForAnotherTurn).
    virtual void OnReceive(CClientSocket* socket, int count) = 0;
    // The connection closed, with the Windows Sockets error that ended it (0 for an orderly
    // close by the peer).
    virtual void OnClose(CClientSocket* socket, int error);
    // A connection has come in; false turns it away (it is then closed at once).
    virtual bool OnAccept(CClientSocket* socket, int error);

protected:
    // Receivers are owned and destroyed as their own classes.
    ~CSocketCallback() = default;
};

// The plain-function form of a receiver.
using SocketReceiveFunction = std::function<void(int count, CClientSocket* socket)>;
using SocketCloseFunction = std::function<void(int error, CClientSocket* socket)>;

// Either a callback object or the two functions; when the receive function is set it is used
// and the callback object is not.
struct SocketReceiver {
    CSocketCallback* callback = nullptr;
    SocketReceiveFunction receive;
    SocketCloseFunction close;

    void Receive(CClientSocket* socket, int count) const;
    void Close(CClientSocket* socket, int error) const;
    // Only a callback object can turn a connection away.
    bool Accept(CClientSocket* socket, int error) const;
};

}  // namespace ruzd::net
