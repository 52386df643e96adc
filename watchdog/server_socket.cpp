#include "watchdog/server_socket.h"

#include "platform/tcp_socket.h"

namespace ruzd::watchdog {

namespace {
constexpr int kListenBacklog = 5;
}  // namespace

CServerSocket::~CServerSocket() {
    accepted_.clear();
}

bool CServerSocket::Listen(int port) {
    if (!CreateHandle() || !ListenOn(static_cast<uint16_t>(port), kListenBacklog)) {
        last_error_ = platform::SocketLastError();
        CloseHandle();
        return false;
    }
    listening_ = true;
    return true;
}

bool CServerSocket::SendToAll(const void* data, size_t size) {
    bool all = true;
    for (const auto& socket : accepted_) {
        all = socket->Send(data, size) && all;
    }
    return all;
}

bool CServerSocket::RemoveReceived(CClientSocket* socket) {
    for (const auto& accepted : accepted_) {
        if (accepted.get() == socket) {
            return socket->RemoveReceived();
        }
    }
    return false;
}

void CServerSocket::Remove(CClientSocket* socket) {
    accepted_.remove_if([socket](const auto& accepted) { return accepted.get() == socket; });
}

void CServerSocket::OnAccept(int /*error*/) {
    const int handle = AcceptHandle();
    if (handle < 0) {
        return;
    }
    auto socket = std::make_unique<CClientSocket>(callback_, this);
    socket->TakeAccepted(handle);
    accepted_.push_back(std::move(socket));
}

}  // namespace ruzd::watchdog
