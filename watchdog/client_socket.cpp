#include "watchdog/client_socket.h"

#include "platform/clock.h"
#include "platform/host_lookup.h"
#include "platform/ipv4_text.h"
#include "platform/tcp_socket.h"
#include "platform/wsa_error.h"
#include "watchdog/server_socket.h"

namespace ruzd::watchdog {

namespace {
constexpr size_t kDrainPieceBytes = 50;
// How long the first connection to a peer named by its host name waits for the name; later
// attempts take the address found last and never wait.
constexpr uint32_t kFirstLookupPatienceMs = 2000;
}  // namespace

CClientSocket::CClientSocket(ReceiveCallback callback, CServerSocket* owner)
    : callback_(std::move(callback)), owner_(owner) {}

CClientSocket::~CClientSocket() {
    closing_ = true;
}

bool CClientSocket::Connect(const std::string& host, int port) {
    if (closing_) {
        return false;
    }
    std::lock_guard lock(lock_);
    host_ = host;
    port_ = port;
    if (connect_pending_ || connected_) {
        return connected_;
    }
    // The name service is asked on a thread of its own: with the DNS server gone, a look-up
    // here would hold the heartbeat and the countdown for seconds at each attempt.
    std::optional<std::string> address = host;
    if (platform::ParseIpv4(host) == platform::kNoIpv4Address) {
        if (!lookup_ || lookup_->host() != host) {
            lookup_ = std::make_unique<platform::HostLookup>(host);
            lookup_->WaitForAddress(kFirstLookupPatienceMs);
        }
        address = lookup_->Address();
    }
    if (!address) {
        last_error_ = platform::kWsaHostNotFound;
        connected_ = false;
        CloseHandle();
        return false;
    }
    if ((!has_handle() && !CreateHandle()) || !ConnectTo(*address, static_cast<uint16_t>(port))) {
        last_error_ = platform::SocketLastError();
        connected_ = false;
        // A socket whose request failed is given up, so the next attempt starts afresh.
        CloseHandle();
        return false;
    }
    last_error_ = platform::SocketLastError();
    connect_pending_ = true;
    return connected_;
}

void CClientSocket::TakeAccepted(int handle, const std::string& peer_address) {
    std::lock_guard lock(lock_);
    Adopt(handle);
    connected_ = true;
    peer_address_ = peer_address;
    last_heard_ms_ = platform::CurrentClock().TickMs();
}

void CClientSocket::QueueSend(const char* data, size_t size) {
    sends_.emplace_back(data, size);
}

bool CClientSocket::Send(const void* data, size_t size) {
    if (closing_) {
        return false;
    }
    std::lock_guard lock(lock_);
    const auto* bytes = static_cast<const char*>(data);
    if (!connected_) {
        if (owner_ == nullptr) {
            Connect(host_, port_);
        }
        if (!connected_) {
            if (sends_.size() >= kMaxQueuedSends) {
                sends_.pop_front();
            }
            QueueSend(bytes, size);
            return true;
        }
    }
    if (!sends_.empty()) {
        QueueSend(bytes, size);
        return true;
    }
    int error = 0;
    const int sent = SendBytes(bytes, size, error);
    if (sent < 0) {
        // Data the system refused for another reason than a full buffer is dropped.
        if (error == platform::kWsaEwouldblock) {
            QueueSend(bytes, size);
        }
        return true;
    }
    if (static_cast<size_t>(sent) < size) {
        QueueSend(bytes + sent, size - static_cast<size_t>(sent));
    }
    return true;
}

bool CClientSocket::RemoveReceived() {
    std::lock_guard lock(lock_);
    if (received_.empty()) {
        return false;
    }
    received_.pop_front();
    return true;
}

size_t CClientSocket::queued_sends() const {
    std::lock_guard lock(lock_);
    return sends_.size();
}

size_t CClientSocket::queued_receives() const {
    std::lock_guard lock(lock_);
    return received_.size();
}

void CClientSocket::Shutdown() {
    std::lock_guard lock(lock_);
    closing_ = true;
    sends_.clear();
    received_.clear();
    if (has_handle()) {
        ShutdownHandle();
        char piece[kDrainPieceBytes];
        int error = 0;
        while (ReceiveBytes(piece, sizeof piece, error) > 0) {
        }
        CloseHandle();
    }
    connected_ = false;
    connect_pending_ = false;
}

void CClientSocket::OnConnect(int error) {
    std::lock_guard lock(lock_);
    connect_pending_ = false;
    last_error_ = error;
    if (error == 0) {
        connected_ = true;
        return;
    }
    // The failed socket goes, so that the next send makes a new one.
    connected_ = false;
    CloseHandle();
}

void CClientSocket::OnSend(int /*error*/) {
    std::lock_guard lock(lock_);
    while (!sends_.empty()) {
        std::string& head = sends_.front();
        int error = 0;
        const int sent = SendBytes(head.data(), head.size(), error);
        if (sent < 0) {
            return;
        }
        if (static_cast<size_t>(sent) < head.size()) {
            head.erase(0, static_cast<size_t>(sent));
            return;
        }
        sends_.pop_front();
    }
}

void CClientSocket::OnReceive(int /*error*/) {
    std::lock_guard lock(lock_);
    if (owner_ == nullptr && !connected_) {
        Connect(host_, port_);
        if (!connected_) {
            return;
        }
    }
    char buffer[kReceiveBufferBytes] = {};
    int error = 0;
    const int got = ReceiveBytes(buffer, kReceiveBufferBytes - 1, error);
    // Nothing read, or the peer's end of the stream: no sign of life.
    if (got <= 0) {
        return;
    }
    heard_ = true;
    last_heard_ms_ = platform::CurrentClock().TickMs();
    if (callback_) {
        received_data_ = buffer;
        callback_(got, this);
        received_data_ = nullptr;
        return;
    }
    if (received_.size() < kMaxQueuedReceives) {
        received_.emplace_back(buffer, static_cast<size_t>(got));
    }
}

void CClientSocket::OnClose(int /*error*/) {
    closing_ = true;
    if (owner_ != nullptr) {
        // The server deletes this socket; nothing of it may be touched after.
        owner_->Remove(this);
        return;
    }
    Shutdown();
    closing_ = false;
}

}  // namespace ruzd::watchdog
