#include "net/client_stream_socket_thread.h"

#include "net/client_stream_socket.h"
#include "net/socket_log.h"

namespace ruzd::net {

CClientStreamSocketThread::CClientStreamSocketThread(CStreamSocketCallback* owner,
                                                     const std::string& host, int port)
    : owner_(owner), host_(host), port_(port) {
    SetLogger([](const std::string& line) { SocketLog("%s", line.c_str()); });
    auto thread =
        std::make_shared<CClientSocketThread>(static_cast<CSocketCallback*>(this), host, port);
    thread_.Exchange(std::move(thread));
}

CClientStreamSocketThread::~CClientStreamSocketThread() {
    if (auto thread = thread_.Exchange(nullptr)) {
        thread->StopSocketThread();
    }
}

std::shared_ptr<CClientSocketThread> CClientStreamSocketThread::Thread() const {
    return thread_.Get();
}

std::shared_ptr<CClientSocket> CClientStreamSocketThread::Connection() const {
    auto thread = Thread();
    return thread ? thread->Socket() : nullptr;
}

bool CClientStreamSocketThread::GetPeerName(std::string& address, unsigned& port) {
    auto connection = Connection();
    return connection && connection->GetPeerName(address, port);
}

int CClientStreamSocketThread::Send(const uint8_t* frame, int length) {
    auto thread = Thread();
    if (!thread) {
        return 0;
    }
    const bool sent = thread->Send(frame, length);
    auto connection = thread->Socket();
    connected_.store(connection && connection->IsConnected());
    return sent ? 1 : 0;
}

int CClientStreamSocketThread::SendTo(const std::string&, unsigned, const uint8_t* frame,
                                      int length) {
    return Send(frame, length);
}

void CClientStreamSocketThread::Reconnect() {
    std::shared_ptr<CClientSocketThread> old;
    {
        std::lock_guard writer(WriterLock());
        old = Thread();
        auto fresh = std::make_shared<CClientSocketThread>(
            static_cast<CSocketCallback*>(this), host_, port_, old ? old->Finished() : nullptr);
        thread_.Exchange(std::move(fresh));
    }
    if (!old) {
        return;
    }
    if (old->IsCurrent()) {
        // Called from the owner's handler: the close is told here and now, and the rest of the
        // chunk being cut is dropped with the connection.
        if (auto connection = old->Socket()) {
            OnClose(connection.get(), 0);
        }
        old->StopSocketThread();
        return;
    }
    // The close is told on the old thread, after whatever it is handling and before its
    // successor connects.
    old->StopSocketThread([this](CClientSocket* connection) { OnClose(connection, 0); });
}

bool CClientStreamSocketThread::IsConnected() const {
    if (connected_.load()) {
        return true;
    }
    auto connection = Connection();
    return connection && connection->IsConnected();
}

bool CClientStreamSocketThread::GetSockName(std::string& address, unsigned& port) {
    auto connection = Connection();
    return connection && connection->GetSockName(address, port);
}

void CClientStreamSocketThread::OnReceive(CClientSocket* socket, int count) {
    connected_.store(true);
    const std::shared_ptr<CClientSocket> peer = socket->shared_from_this();
    peers_.Receive(*socket, count, [this, &peer](const uint8_t* payload, int length) {
        if (owner_ != nullptr) {
            CClientStreamSocket message(payload, length, peer);
            owner_->OnSocketReceiveInfo(&message);
        }
    });
}

void CClientStreamSocketThread::OnClose(CClientSocket* socket, int error) {
    connected_.store(false);
    std::string address;
    unsigned port = 0;
    socket->GetPeerName(address, port);
    peers_.Drop(*socket);
    if (owner_ != nullptr) {
        owner_->OnSocketClose(address, port, error, socket->Serial());
    }
}

}  // namespace ruzd::net
