#include "net/socket_callback.h"

namespace ruzd::net {

void CSocketCallback::OnClose(CClientSocket*, int) {}

bool CSocketCallback::OnAccept(CClientSocket*, int) {
    return true;
}

void SocketReceiver::Receive(CClientSocket* socket, int count) const {
    if (receive) {
        receive(count, socket);
    } else if (callback != nullptr) {
        callback->OnReceive(socket, count);
    }
}

void SocketReceiver::Close(CClientSocket* socket, int error) const {
    if (close) {
        close(error, socket);
    } else if (!receive && callback != nullptr) {
        callback->OnClose(socket, error);
    }
}

bool SocketReceiver::Accept(CClientSocket* socket, int error) const {
    if (receive || callback == nullptr) {
        return true;
    }
    return callback->OnAccept(socket, error);
}

}  // namespace ruzd::net
