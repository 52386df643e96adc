#include "net/socket_core/server_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "foundation/peer_log_limit.h"
#include "net/connection_limit.h"
#include "net/socket_core/socket_options.h"
#include "net/socket_log.h"
#include "platform/error_output.h"
#include "platform/text.h"
#include "platform/wsa_error.h"

namespace ruzd::net {
namespace {

// The failure last told on the error output for each port. A listener that cannot open is
// retried (every second for minutes, by the command listener's restarts): the operator hears of
// a failure once, of another reason again, and of the moment the port listens after all.
std::mutex& ToldFailuresLock() {
    static std::mutex lock;
    return lock;
}

std::map<int, int>& ToldFailures() {
    // Never destroyed: a listener thread may still fail while the process exits.
    static auto* failures = new std::map<int, int>;
    return *failures;
}

void TellListenFailure(int port, int error, int system_error) {
    const std::string line = platform::Format("Cannot listen on port %d: error %d (%s)", port,
                                              error, std::strerror(system_error));
    SocketLog("%s", line.c_str());
    {
        std::lock_guard guard(ToldFailuresLock());
        const auto [told, first] = ToldFailures().try_emplace(port, error);
        if (!first && told->second == error) {
            return;
        }
        told->second = error;
    }
    platform::WriteErrorLine(line);
}

void TellListening(int port) {
    {
        std::lock_guard guard(ToldFailuresLock());
        if (ToldFailures().erase(port) == 0) {
            return;
        }
    }
    const std::string line = platform::Format("Listening on port %d now", port);
    SocketLog("%s", line.c_str());
    platform::WriteErrorLine(line);
}

}  // namespace

CServerSocket::CServerSocket(const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
                             bool listen_returns_at_once)
    : reactor_(reactor),
      receiver_(std::move(receiver)),
      listen_returns_at_once_(listen_returns_at_once) {}

std::shared_ptr<CServerSocket> CServerSocket::Create(const std::shared_ptr<SocketReactor>& reactor,
                                                     SocketReceiver receiver,
                                                     bool listen_returns_at_once) {
    std::shared_ptr<CServerSocket> server(
        new CServerSocket(reactor, std::move(receiver), listen_returns_at_once));
    reactor->Add(server);
    return server;
}

CServerSocket::~CServerSocket() {
    Close();
}

bool CServerSocket::Listen(int port, const std::string& bind_address) {
    if (listening_.load() || listen_returns_at_once_) {
        return true;
    }
    in_addr interface_address{};
    interface_address.s_addr = htonl(INADDR_ANY);
    if (!bind_address.empty() &&
        ::inet_pton(AF_INET, bind_address.c_str(), &interface_address) != 1) {
        last_error_.store(platform::WsaErrorFromErrno(EINVAL));
        SocketLog("Cannot listen on port %d: \"%s\" is not an IPv4 address", port,
                  bind_address.c_str());
        return false;
    }
    std::lock_guard creation(SocketCreationLock());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        const int system_error = errno;
        last_error_.store(platform::WsaErrorFromErrno(system_error));
        TellListenFailure(port, last_error_.load(), system_error);
        return false;
    }
    // Connections of an earlier listener on the port may still linger in TIME_WAIT.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = interface_address;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, kBacklog) != 0) {
        const int system_error = errno;
        last_error_.store(platform::WsaErrorFromErrno(system_error));
        CloseDescriptor(fd);
        TellListenFailure(port, last_error_.load(), system_error);
        return false;
    }
    TellListening(port);
    SetStreamOptions(fd);
    {
        std::lock_guard guard(lock_);
        fd_.store(fd);
        port_.store(port);
        listening_.store(true);
    }
    if (auto reactor = reactor_.lock(); reactor && !reactor->IsLoopThread()) {
        reactor->Wake();
    }
    return true;
}

bool CServerSocket::SendToAll(const uint8_t* data, int length, const CClientSocket* except,
                              bool sender_sends_later) {
    if (length < 0 || (length > 0 && data == nullptr)) {
        return false;
    }
    const uint64_t active = active_serial_.load();
    SharedBytes shared;
    size_t queued = 0;
    bool all = true;
    for (const auto& client : Clients()) {
        if (client.get() == except) {
            continue;
        }
        if (active == 0 || client->Serial() == active || length == 0) {
            all = client->Send(data, length) && all;
            continue;
        }
        if (!shared) {
            shared = std::make_shared<const std::vector<uint8_t>>(data, data + length);
        }
        all = client->Queue(shared) && all;
        ++queued;
    }
    if (queued > kSenderSendsMax) {
        PostFlush();
    } else if (queued > 0 && sender_sends_later) {
        sender_flush_due_.store(true);
    } else if (queued > 0) {
        FlushQueued();
    }
    return all;
}

void CServerSocket::SendQueuedBySender() {
    if (sender_flush_due_.exchange(false)) {
        FlushQueued();
    }
}

void CServerSocket::PostFlush() {
    if (flush_posted_.exchange(true)) {
        return;
    }
    const std::shared_ptr<SocketReactor> reactor = reactor_.lock();
    if (!reactor) {
        flush_posted_.store(false);
        return;
    }
    reactor->Post([weak = weak_from_this()] {
        if (const auto server = weak.lock()) {
            server->FlushQueued();
        }
    });
}

void CServerSocket::FlushQueued() {
    // Cleared first: what is queued from here on is flushed by a post of its own.
    flush_posted_.store(false);
    for (const auto& client : Clients()) {
        client->FlushQueue();
    }
}

bool CServerSocket::SendToAll(const char* text, const CClientSocket* except) {
    if (text == nullptr) {
        return false;
    }
    return SendToAll(reinterpret_cast<const uint8_t*>(text), static_cast<int>(std::strlen(text)),
                     except);
}

bool CServerSocket::SendTo(const uint8_t* data, int length, const std::string& address,
                           unsigned port) {
    for (const auto& client : Clients()) {
        std::string peer_address;
        unsigned peer_port = 0;
        if (client->GetPeerName(peer_address, peer_port) && peer_address == address &&
            (port == 0 || port == peer_port)) {
            return client->Send(data, length);
        }
    }
    return true;
}

bool CServerSocket::SendTo(const char* text, const std::string& address, unsigned port) {
    if (text == nullptr) {
        return false;
    }
    return SendTo(reinterpret_cast<const uint8_t*>(text), static_cast<int>(std::strlen(text)),
                  address, port);
}

bool CServerSocket::GetPeerName(std::string& address, unsigned& port) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = fd_.load();
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
        return false;
    }
    DescribeIpv4(peer, address, port);
    return true;
}

bool CServerSocket::GetSockName(std::string& address, unsigned& port) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    std::lock_guard guard(lock_);
    const int fd = fd_.load();
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return false;
    }
    DescribeIpv4(local, address, port);
    return true;
}

bool CServerSocket::HasClients() const {
    std::lock_guard guard(lock_);
    return !clients_.empty();
}

std::vector<std::shared_ptr<CClientSocket>> CServerSocket::Clients() const {
    std::lock_guard guard(lock_);
    return clients_;
}

void CServerSocket::Close() {
    std::vector<std::shared_ptr<CClientSocket>> clients;
    {
        std::lock_guard guard(lock_);
        clients.swap(clients_);
        listening_.store(false);
        CloseDescriptor(fd_.exchange(-1));
    }
    for (const auto& client : clients) {
        client->Destroy();
    }
    if (auto reactor = reactor_.lock()) {
        reactor->Remove(this);
    }
}

short CServerSocket::PollEvents() const {
    return accept_pause_.Paused() ? 0 : POLLIN;
}

void CServerSocket::OnPollEvents(short revents) {
    if ((revents & POLLIN) == 0 || accept_pause_.Paused()) {
        return;
    }
    // A burst of connections is taken in slices, so that the connections already accepted get
    // their turn in between.
    for (int taken = 0; taken < 16 && AcceptOne(); ++taken) {
    }
}

bool CServerSocket::AcceptOne() {
    const int listener = fd_.load();
    if (listener < 0) {
        return false;
    }
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int fd = ::accept4(listener, reinterpret_cast<sockaddr*>(&peer), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case EINTR:
            case ECONNABORTED:
                return true;
            default:
                if (AcceptPause::IsLackOfDescriptors(errno)) {
                    accept_pause_.Begin(reactor_.lock(), weak_from_this(), port_.load());
                }
                return false;
        }
    }
    accept_pause_.Accepted();
    if (RefusedByGate(fd, peer) || RefusedAtAdmission(fd, peer) || TurnAwayOverLimit(fd, peer)) {
        return true;
    }
    SetStreamOptions(fd);
    auto reactor = reactor_.lock();
    if (!reactor) {
        CloseDescriptor(fd);
        return false;
    }
    std::shared_ptr<BufferAccount> account;
    {
        std::lock_guard guard(lock_);
        if (budget_) {
            account = budget_->Open();
        }
    }
    auto client = CClientSocket::CreateAccepted(reactor, AcceptedReceiver(), weak_from_this(), fd,
                                                peer, std::move(account));
    if (!receiver_.Accept(client.get(), 0)) {
        std::string address;
        unsigned port = 0;
        client->GetPeerName(address, port);
        SocketLog("Connection from %s:%u turned away", address.c_str(), port);
        client->Destroy();
        return true;
    }
    {
        std::lock_guard guard(lock_);
        clients_.push_back(client);
    }
    reactor->Add(client);
    WatchUnproven(reactor, client);
    return true;
}

void CServerSocket::SetAccessGate(std::shared_ptr<foundation::AddressGate> gate,
                                  std::string port_name) {
    std::lock_guard guard(lock_);
    gate_ = std::move(gate);
    port_name_ = std::move(port_name);
}

bool CServerSocket::RefusedByGate(int fd, const sockaddr_in& peer) {
    std::shared_ptr<foundation::AddressGate> gate;
    std::string port_name;
    {
        std::lock_guard guard(lock_);
        gate = gate_;
        port_name = port_name_;
    }
    const uint32_t address = ntohl(peer.sin_addr.s_addr);
    if (!gate || gate->Admits(address)) {
        return false;
    }
    CloseDescriptor(fd);
    std::string text;
    unsigned port = 0;
    DescribeIpv4(peer, text, port);
    LogRefusedPeer(*gate, address, text, port_name.c_str());
    return true;
}

void CServerSocket::SetAdmission(AdmissionCheck admit) {
    std::lock_guard guard(lock_);
    admit_ = std::move(admit);
}

bool CServerSocket::RefusedAtAdmission(int fd, const sockaddr_in& peer) {
    AdmissionCheck admit;
    {
        std::lock_guard guard(lock_);
        admit = admit_;
    }
    if (!admit) {
        return false;
    }
    sockaddr_in own{};
    socklen_t size = sizeof own;
    const bool known = ::getsockname(fd, reinterpret_cast<sockaddr*>(&own), &size) == 0 &&
                       own.sin_family == AF_INET;
    if (known && admit({ntohl(own.sin_addr.s_addr), ntohs(own.sin_port)},
                       {ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port)})) {
        return false;
    }
    CloseDescriptor(fd);
    return true;
}

void CServerSocket::WatchUnproven(const std::shared_ptr<SocketReactor>& reactor,
                                  const std::shared_ptr<CClientSocket>& client) {
    const uint64_t limit = unproven_limit_ms_.load();
    if (limit == 0) {
        return;
    }
    reactor->PostAfter(
        limit, [weak_server = weak_from_this(), weak = client->weak_from_this(), limit] {
            const auto server = weak_server.lock();
            const auto held = weak.lock();
            if (!server || !held || !held->IsOpen() || held->IsClosing() || held->IsProven() ||
                held->Serial() == server->active_serial_.load()) {
                return;
            }
            // The line is the peer's to pay for: a flood of silent connections must not write
            // one for each.
            foundation::ScopedPeerLogLimit peer_lines(&held->LogLimit());
            held->End("no valid command within " + std::to_string(limit / 1000) + " s");
        });
}

void CServerSocket::SetBufferBudget(std::shared_ptr<BufferBudget> budget) {
    std::lock_guard guard(lock_);
    budget_ = std::move(budget);
}

void CServerSocket::SetActiveConnection(uint64_t serial) {
    active_serial_.store(serial);
    for (const auto& client : Clients()) {
        client->SetActive(serial != 0 && client->Serial() == serial);
    }
}

bool CServerSocket::TurnAwayOverLimit(int fd, const sockaddr_in& peer) {
    const size_t limit = max_connections_.load();
    size_t held = 0;
    {
        std::lock_guard guard(lock_);
        // Those ending already make room by themselves.
        held = static_cast<size_t>(std::count_if(clients_.begin(), clients_.end(),
                                                 [](const auto& c) { return !c->IsClosing(); }));
    }
    if (limit == 0 || held < limit) {
        over_limit_logged_ = false;
        return false;
    }
    if (MakeRoom(held)) {
        return false;
    }
    CloseDescriptor(fd);
    if (!over_limit_logged_) {
        over_limit_logged_ = true;
        std::string address;
        unsigned port = 0;
        DescribeIpv4(peer, address, port);
        SocketLog("Connection from %s:%u turned away: %zu connections held already",
                  address.c_str(), port, held);
    }
    return true;
}

bool CServerSocket::MakeRoom(size_t held) {
    const uint64_t active = active_serial_.load();
    std::shared_ptr<CClientSocket> oldest;
    {
        std::lock_guard guard(lock_);
        // The list is in the order of acceptance.
        const auto found = std::find_if(clients_.begin(), clients_.end(), [active](const auto& c) {
            return !c->IsClosing() && c->Serial() != active;
        });
        if (found == clients_.end()) {
            return false;
        }
        oldest = *found;
    }
    // One line while the limit holds: a peer that opens connections without end must not
    // write a line for each.
    if (!over_limit_logged_) {
        over_limit_logged_ = true;
        oldest->End("the oldest of " + std::to_string(held) +
                    " connections, to make room for a new one");
    } else {
        oldest->End({});
    }
    return true;
}

void CServerSocket::Forget(const CClientSocket* socket) {
    std::lock_guard guard(lock_);
    auto found = std::find_if(clients_.begin(), clients_.end(),
                              [socket](const auto& held) { return held.get() == socket; });
    if (found != clients_.end()) {
        clients_.erase(found);
    }
}

SocketReceiver CServerSocket::AcceptedReceiver() const {
    if (receiver_.receive) {
        return SocketReceiver{nullptr, receiver_.receive, receiver_.close};
    }
    return SocketReceiver{receiver_.callback, {}, {}};
}

}  // namespace ruzd::net
