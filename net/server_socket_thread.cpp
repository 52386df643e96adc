#include "net/server_socket_thread.h"

#include <cstring>

#include "net/connection_limit.h"

namespace ruzd::net {

CServerSocketThread::CServerSocketThread(CSocketCallback* receiver, int port,
                                         std::shared_ptr<platform::Waitable> after,
                                         std::shared_ptr<BufferBudget> budget,
                                         uint64_t unproven_limit_ms, ListenerScope scope)
    : listener_(std::make_shared<ListenerState>()), loop_("SocketServer") {
    listener_->port.store(port);
    listener_->receiver.callback = receiver;
    listener_->budget = std::move(budget);
    listener_->unproven_limit_ms = unproven_limit_ms;
    listener_->scope = std::move(scope);
    Begin(std::move(after));
}

CServerSocketThread::CServerSocketThread(SocketReceiveFunction receive, int port,
                                         SocketCloseFunction close,
                                         std::shared_ptr<platform::Waitable> after)
    : listener_(std::make_shared<ListenerState>()), loop_("SocketServer") {
    listener_->port.store(port);
    listener_->receiver.receive = std::move(receive);
    listener_->receiver.close = std::move(close);
    Begin(std::move(after));
}

CServerSocketThread::~CServerSocketThread() {
    StopSocketThread();
}

void CServerSocketThread::Begin(std::shared_ptr<platform::Waitable> after) {
    std::weak_ptr<SocketReactor> reactor = loop_.reactor();
    SocketThreadLoop::Steps steps;
    steps.create = [holder = listener_, reactor] {
        auto socket = CServerSocket::Create(reactor.lock(), holder->receiver);
        socket->SetMaxConnections(ReadMaxConnections());
        socket->SetBufferBudget(holder->budget);
        socket->SetUnprovenLimitMs(holder->unproven_limit_ms);
        if (holder->scope.central_servers_only) {
            socket->SetAccessGate(ReadCentralServerAddresses("Command port"), "Command port");
        }
        socket->SetAdmission(holder->scope.admit);
        std::lock_guard guard(holder->lock);
        holder->socket = std::move(socket);
        return true;
    };
    steps.open = [holder = listener_] { holder->Relisten(); };
    steps.close = [holder = listener_] {
        std::shared_ptr<CServerSocket> socket;
        {
            std::lock_guard guard(holder->lock);
            socket.swap(holder->socket);
        }
        if (socket) {
            socket->Close();
        }
    };
    loop_.Start(std::move(steps), std::move(after));
}

std::shared_ptr<CServerSocket> CServerSocketThread::ListenerState::Get() const {
    std::lock_guard guard(lock);
    return socket;
}

void CServerSocketThread::ListenerState::Relisten() const {
    const int listen_port = port.load();
    auto server = Get();
    if (server && listen_port >= 0 && !server->IsListening()) {
        server->Listen(listen_port, scope.bind_address);
    }
}

bool CServerSocketThread::Send(const uint8_t* data, int length, const CClientSocket* except,
                               bool sender_sends_later) {
    if (listener_->port.load() == -1) {
        return false;
    }
    auto server = listener_->Get();
    if (!server) {
        return false;
    }
    if (!server->IsListening()) {
        loop_.Post([holder = listener_] { holder->Relisten(); });
    }
    return server->SendToAll(data, length, except, sender_sends_later);
}

bool CServerSocketThread::SendString(const char* text, const CClientSocket* except) {
    return text != nullptr && Send(reinterpret_cast<const uint8_t*>(text),
                                   static_cast<int>(std::strlen(text)), except);
}

std::shared_ptr<CServerSocket> CServerSocketThread::Socket() const {
    return listener_->Get();
}

void CServerSocketThread::StopSocketThread() {
    listener_->port.store(-1);
    loop_.Stop();
}

}  // namespace ruzd::net
