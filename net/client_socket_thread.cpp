#include "net/client_socket_thread.h"

#include <cstring>

namespace ruzd::net {

CClientSocketThread::CClientSocketThread(CSocketCallback* receiver, const std::string& host,
                                         int port, std::shared_ptr<platform::Waitable> after)
    : connection_(std::make_shared<ConnectionState>()), loop_("SocketClient") {
    connection_->host = host;
    connection_->port.store(port);
    connection_->receiver.callback = receiver;
    Begin(std::move(after));
}

CClientSocketThread::CClientSocketThread(SocketReceiveFunction receive, const std::string& host,
                                         int port, SocketCloseFunction close,
                                         std::shared_ptr<platform::Waitable> after)
    : connection_(std::make_shared<ConnectionState>()), loop_("SocketClient") {
    connection_->host = host;
    connection_->port.store(port);
    connection_->receiver.receive = std::move(receive);
    connection_->receiver.close = std::move(close);
    Begin(std::move(after));
}

CClientSocketThread::~CClientSocketThread() {
    StopSocketThread();
}

void CClientSocketThread::Begin(std::shared_ptr<platform::Waitable> after) {
    std::weak_ptr<SocketReactor> reactor = loop_.reactor();
    SocketThreadLoop::Steps steps;
    steps.create = [holder = connection_, reactor] {
        auto socket = CClientSocket::Create(reactor.lock(), holder->receiver, true);
        std::lock_guard guard(holder->lock);
        holder->socket = std::move(socket);
        return true;
    };
    steps.open = [holder = connection_] { holder->Reconnect(); };
    steps.close = [holder = connection_, reactor] {
        std::shared_ptr<CClientSocket> socket;
        {
            std::lock_guard guard(holder->lock);
            socket.swap(holder->socket);
        }
        if (socket) {
            socket->Shutdown();
            if (auto loop = reactor.lock()) {
                loop->Remove(socket.get());
            }
        }
    };
    loop_.Start(std::move(steps), std::move(after));
}

std::shared_ptr<CClientSocket> CClientSocketThread::ConnectionState::Get() const {
    std::lock_guard guard(lock);
    return socket;
}

void CClientSocketThread::ConnectionState::Reconnect() const {
    const int connect_port = port.load();
    auto client = Get();
    if (client && connect_port >= 0 && !client->IsConnected()) {
        client->Connect(host, connect_port, 0);
    }
}

bool CClientSocketThread::Send(const uint8_t* data, int length) {
    if (connection_->port.load() == -1) {
        return false;
    }
    auto client = connection_->Get();
    if (!client) {
        return false;
    }
    if (!client->IsConnected()) {
        loop_.Post([holder = connection_] { holder->Reconnect(); });
    }
    return client->Send(data, length);
}

bool CClientSocketThread::SendString(const char* text) {
    return text != nullptr &&
           Send(reinterpret_cast<const uint8_t*>(text), static_cast<int>(std::strlen(text)));
}

std::shared_ptr<CClientSocket> CClientSocketThread::Socket() const {
    return connection_->Get();
}

void CClientSocketThread::StopSocketThread(std::function<void(CClientSocket*)> last) {
    connection_->port.store(-1);
    if (!last) {
        loop_.Stop();
        return;
    }
    loop_.Stop([holder = connection_, last = std::move(last)] {
        if (auto client = holder->Get()) {
            last(client.get());
        }
    });
}

}  // namespace ruzd::net
