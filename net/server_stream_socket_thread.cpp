#include "net/server_stream_socket_thread.h"

#include "net/client_stream_socket.h"
#include "net/connection_limit.h"
#include "net/socket_log.h"

namespace ruzd::net {

CServerStreamSocketThread::CServerStreamSocketThread(CStreamSocketCallback* owner, int port,
                                                     std::shared_ptr<BufferBudget> budget,
                                                     ListenerScope scope)
    : owner_(owner),
      port_(port),
      budget_(budget ? std::move(budget) : CreateNodeBufferBudget()),
      scope_(std::move(scope)) {
    SetLogger([](const std::string& line) { SocketLog("%s", line.c_str()); });
    auto thread = std::make_shared<CServerSocketThread>(static_cast<CSocketCallback*>(this), port,
                                                        nullptr, budget_, kUnprovenLimitMs, scope_);
    thread_.Exchange(std::move(thread));
}

CServerStreamSocketThread::~CServerStreamSocketThread() {
    Stop();
}

void CServerStreamSocketThread::Stop() {
    if (auto thread = thread_.Exchange(nullptr)) {
        thread->StopSocketThread();
    }
}

std::shared_ptr<CServerSocketThread> CServerStreamSocketThread::Thread() const {
    return thread_.Get();
}

std::shared_ptr<CServerSocket> CServerStreamSocketThread::Server() const {
    auto thread = Thread();
    return thread ? thread->Socket() : nullptr;
}

bool CServerStreamSocketThread::GetPeerName(std::string& address, unsigned& port) {
    auto server = Server();
    return server && server->GetPeerName(address, port);
}

int CServerStreamSocketThread::Send(const uint8_t* frame, int length) {
    return SendToEveryone(frame, length, false);
}

int CServerStreamSocketThread::SendFromFlush(const uint8_t* frame, int length) {
    // The writer's lock is held: what the connections besides the active one take is sent
    // after it (AfterSend).
    return SendToEveryone(frame, length, true);
}

int CServerStreamSocketThread::SendToEveryone(const uint8_t* frame, int length, bool after_send) {
    auto thread = Thread();
    if (!thread) {
        return 0;
    }
    const bool sent = thread->Send(frame, length, nullptr, after_send);
    auto server = thread->Socket();
    connected_.store(server && server->IsListening());
    return sent ? 1 : 0;
}

void CServerStreamSocketThread::AfterSend() {
    if (auto server = Server()) {
        server->SendQueuedBySender();
    }
}

int CServerStreamSocketThread::SendTo(const std::string& address, unsigned port,
                                      const uint8_t* frame, int length) {
    auto server = Server();
    if (!server) {
        return 0;
    }
    const bool sent = server->SendTo(frame, length, address, port);
    connected_.store(server->IsListening());
    return sent ? 1 : 0;
}

void CServerStreamSocketThread::Restart() {
    std::shared_ptr<CServerSocketThread> old;
    {
        std::lock_guard writer(WriterLock());
        old = Thread();
        // The new listener takes the port once the old thread has let it go.
        auto fresh = std::make_shared<CServerSocketThread>(static_cast<CSocketCallback*>(this),
                                                           port_, old ? old->Finished() : nullptr,
                                                           budget_, kUnprovenLimitMs, scope_);
        thread_.Exchange(std::move(fresh));
    }
    if (old) {
        old->StopSocketThread();
    }
    if (!old || !old->IsCurrent()) {
        peers_.DropClosed();
    }
}

bool CServerStreamSocketThread::IsConnected() const {
    if (connected_.load()) {
        return true;
    }
    auto server = Server();
    return server && server->IsListening();
}

bool CServerStreamSocketThread::HasClients() const {
    auto server = Server();
    return server && server->HasClients();
}

bool CServerStreamSocketThread::GetSockName(std::string& address, unsigned& port) {
    auto server = Server();
    return server && server->GetSockName(address, port);
}

void CServerStreamSocketThread::OnReceive(CClientSocket* socket, int count) {
    std::lock_guard writer(WriterLock());
    receiving_thread_.store(std::this_thread::get_id());
    struct ReceivingEnds {
        std::atomic<std::thread::id>& thread;
        ~ReceivingEnds() { thread.store(std::thread::id()); }
    } receiving_ends{receiving_thread_};
    connected_.store(true);
    const bool active = socket->Serial() == active_serial_.load();
    foundation::ScopedPeerLogLimit limit(active ? nullptr : &socket->LogLimit());
    const std::shared_ptr<CClientSocket> peer = socket->shared_from_this();
    const StreamPeers::Kept kept = peers_.Receive(
        *socket, count,
        [this, &peer](const uint8_t* payload, int length) { Deliver(peer, payload, length); },
        active ? SIZE_MAX : kSmallTurnMessages);
    socket->HoldReceived(kept.bytes);
    if (kept.frames) {
        socket->AskForAnotherTurn();
    }
}

void CServerStreamSocketThread::SetActiveConnection(uint64_t serial) {
    active_serial_.store(serial);
    if (auto server = Server()) {
        server->SetActiveConnection(serial);
    }
}

void CServerStreamSocketThread::RunWithoutWriterLock(const std::function<void()>& work) {
    if (receiving_thread_.load() != std::this_thread::get_id()) {
        work();
        return;
    }
    // Handed back however `work` ends; a nested call finds the lock already let go.
    struct Released {
        CServerStreamSocketThread& listener;
        explicit Released(CServerStreamSocketThread& owner) : listener(owner) {
            listener.receiving_thread_.store(std::thread::id());
            listener.WriterLock().unlock();
        }
        ~Released() {
            listener.WriterLock().lock();
            listener.receiving_thread_.store(std::this_thread::get_id());
        }
    } released(*this);
    work();
}

void CServerStreamSocketThread::Deliver(const std::shared_ptr<CClientSocket>& peer,
                                        const uint8_t* payload, int length) {
    if (owner_ == nullptr) {
        return;
    }
    CClientStreamSocket message(payload, length, peer);
    owner_->OnSocketReceiveInfo(&message);
}

void CServerStreamSocketThread::OnClose(CClientSocket* socket, int error) {
    connected_.store(false);
    std::string address;
    unsigned port = 0;
    socket->GetPeerName(address, port);
    peers_.Drop(*socket);
    {
        foundation::ScopedPeerLogLimit limit(
            socket->Serial() == active_serial_.load() ? nullptr : &socket->LogLimit());
        if (owner_ != nullptr) {
            owner_->OnSocketClose(address, port, error, socket->Serial());
        }
    }
    socket->LogLimit().ReportSuppressed();
}

}  // namespace ruzd::net
