#include "net/socket_core/client_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "net/socket_core/server_socket.h"
#include "net/socket_core/socket_options.h"
#include "net/socket_log.h"
#include "platform/wsa_error.h"

namespace ruzd::net {
namespace {

uint64_t NextSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1);
}

ssize_t SendNow(int fd, const uint8_t* data, size_t length, int& error) {
    const ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    error = sent < 0 ? errno : 0;
    return sent;
}

ssize_t SendVector(int fd, const iovec* blocks, int count, int& error) {
    msghdr message{};
    message.msg_iov = const_cast<iovec*>(blocks);
    message.msg_iovlen = static_cast<size_t>(count);
    const ssize_t sent = ::sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    error = sent < 0 ? errno : 0;
    return sent;
}

}  // namespace

CClientSocket::CClientSocket(const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
                             std::weak_ptr<CServerSocket> server, bool thread_owned)
    : serial_(NextSerial()),
      accepted_(!server.expired()),
      thread_owned_(thread_owned),
      reactor_(reactor),
      server_(std::move(server)),
      receiver_(std::move(receiver)),
      receive_buffer_(std::make_unique<uint8_t[]>(kInitialReceiveCapacity)) {
    connected_.store(accepted_);
}

std::shared_ptr<CClientSocket> CClientSocket::Create(const std::shared_ptr<SocketReactor>& reactor,
                                                     SocketReceiver receiver, bool thread_owned) {
    std::shared_ptr<CClientSocket> socket(
        new CClientSocket(reactor, std::move(receiver), {}, thread_owned));
    reactor->Add(socket);
    return socket;
}

std::shared_ptr<CClientSocket> CClientSocket::CreateAccepted(
    const std::shared_ptr<SocketReactor>& reactor, SocketReceiver receiver,
    std::weak_ptr<CServerSocket> server, int fd, const sockaddr_in& peer,
    std::shared_ptr<BufferAccount> account) {
    std::shared_ptr<CClientSocket> socket(
        new CClientSocket(reactor, std::move(receiver), std::move(server), false));
    socket->fd_.store(fd);
    socket->account_ = std::move(account);
    DescribeIpv4(peer, socket->peer_address_, socket->peer_port_);
    socket->log_limit_.SetPeer(socket->peer_address_);
    return socket;
}

CClientSocket::~CClientSocket() {
    CloseDescriptor(fd_.exchange(-1));
}

bool CClientSocket::Connect(const std::string& host, int port, int local_port) {
    if (closing_.load()) {
        return false;
    }
    platform::CriticalSectionLock guard(lock_);
    host_ = host;
    port_ = port;
    if (accepted_ || connected_.load() || connecting_.load()) {
        return connected_.load();
    }
    if (fd_.load() < 0) {
        std::lock_guard creation(SocketCreationLock());
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            last_error_.store(platform::WsaErrorFromErrno(errno));
            connected_.store(false);
            return false;
        }
        if (local_port != 0) {
            const int on = 1;
            ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
            sockaddr_in local{};
            local.sin_family = AF_INET;
            local.sin_addr.s_addr = htonl(INADDR_ANY);
            local.sin_port = htons(static_cast<uint16_t>(local_port));
            if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
                last_error_.store(platform::WsaErrorFromErrno(errno));
                CloseDescriptor(fd);
                connected_.store(false);
                return false;
            }
        }
        SetStreamOptions(fd);
        fd_.store(fd);
        serial_.store(NextSerial());
    }
    sockaddr_in address{};
    if (!ResolveIpv4(host, port, address)) {
        last_error_.store(platform::kWsaHostNotFound);
        connected_.store(false);
        return false;
    }
    if (::connect(fd_.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        OnConnect(0);
    } else if (errno == EINPROGRESS) {
        last_error_.store(platform::kWsaEwouldblock);
        connected_.store(false);
        connecting_.store(true);
        if (auto reactor = reactor_.lock(); reactor && !reactor->IsLoopThread()) {
            reactor->Wake();
        }
    } else {
        last_error_.store(platform::WsaErrorFromErrno(errno));
        connected_.store(false);
        // A fresh socket for the next attempt.
        CloseDescriptorLocked();
    }
    return connected_.load();
}

bool CClientSocket::Send(const uint8_t* data, int length) {
    if (length < 0 || (length > 0 && data == nullptr) || closing_.load()) {
        return false;
    }
    platform::CriticalSectionLock guard(lock_);
    if (closing_.load()) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    if (!connected_.load()) {
        if (!thread_owned_ && !accepted_ && !host_.empty()) {
            Connect(host_, port_, 0);
        }
        if (!connected_.load()) {
            queue_.PushBack(data, static_cast<size_t>(length));
            UpdateWriteInterestLocked();
            AccountQueueLocked(true);
            return true;
        }
    }
    if (!queue_.empty()) {
        queue_.PushBack(data, static_cast<size_t>(length));
        DrainLocked();
        AccountQueueLocked(true);
        return true;
    }
    int error = 0;
    const ssize_t sent = SendNow(fd_.load(), data, static_cast<size_t>(length), error);
    if (sent < length) {
        if (sent > 0) {
            queue_.PushBack(data + sent, static_cast<size_t>(length - sent));
        } else {
            last_error_.store(platform::WsaErrorFromErrno(error));
            queue_.PushBack(data, static_cast<size_t>(length));
        }
        UpdateWriteInterestLocked();
        AccountQueueLocked(true);
    }
    return true;
}

bool CClientSocket::Queue(const SharedBytes& bytes) {
    if (closing_.load()) {
        return false;
    }
    platform::CriticalSectionLock guard(lock_);
    if (closing_.load()) {
        return false;
    }
    queue_.PushBack(bytes);
    AccountQueueLocked(true);
    return true;
}

void CClientSocket::FlushQueue() {
    platform::CriticalSectionLock guard(lock_);
    // A socket that waits for room is drained when the room comes.
    if (connected_.load() && !want_write_.load() && !queue_.empty()) {
        DrainLocked();
    }
}

bool CClientSocket::SendString(const char* text) {
    return text != nullptr &&
           Send(reinterpret_cast<const uint8_t*>(text), static_cast<int>(std::strlen(text)));
}

bool CClientSocket::GetPeerName(std::string& address, unsigned& port) {
    platform::CriticalSectionLock guard(lock_);
    if (peer_port_ == 0) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (fd_.load() < 0 ||
            ::getpeername(fd_.load(), reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
            return false;
        }
        DescribeIpv4(peer, peer_address_, peer_port_);
    }
    address = peer_address_;
    port = peer_port_;
    return true;
}

bool CClientSocket::GetSockName(std::string& address, unsigned& port) {
    platform::CriticalSectionLock guard(lock_);
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (fd_.load() < 0 ||
        ::getsockname(fd_.load(), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return false;
    }
    DescribeIpv4(local, address, port);
    return true;
}

void CClientSocket::Shutdown() {
    closing_.store(true);
    platform::CriticalSectionLock guard(lock_);
    queue_.Clear();
    AccountQueueLocked(false);
    want_write_.store(false);
    connected_.store(false);
    connecting_.store(false);
    if (accepted_) {
        // Its descriptor goes with the object.
        return;
    }
    const int fd = fd_.load();
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        char discard[50];
        while (::recv(fd, discard, sizeof discard, MSG_DONTWAIT) > 0) {
        }
        CloseDescriptorLocked();
    }
}

void CClientSocket::SetActive(bool active) {
    active_.store(active);
    if (account_) {
        account_->SetCounted(!active);
    }
}

void CClientSocket::HoldReceived(size_t bytes) {
    if (account_ && !account_->Hold(BufferAccount::kReceived, bytes)) {
        EndOverBudget();
    }
}

void CClientSocket::AccountQueueLocked(bool grew) {
    if (account_ && !account_->Hold(BufferAccount::kQueued, queue_.bytes()) && grew) {
        EndOverBudget();
    }
}

void CClientSocket::EndOverBudget() {
    End(account_->OverLimitReason());
}

void CClientSocket::End(const std::string& reason) {
    if (ending_.exchange(true)) {
        return;
    }
    if (!reason.empty()) {
        std::string address;
        unsigned port = 0;
        GetPeerName(address, port);
        SocketLog("Connection from %s:%u closed: %s", address.c_str(), port, reason.c_str());
    }
    {
        platform::CriticalSectionLock guard(lock_);
        closing_.store(true);
        queue_.Clear();
        want_write_.store(false);
    }
    if (account_) {
        account_->Hold(BufferAccount::kQueued, 0);
        account_->Hold(BufferAccount::kReceived, 0);
    }
    // Never closed in the middle of a send or of a receive notification: its callers may hold
    // locks that the close's notification takes.
    if (auto reactor = reactor_.lock()) {
        reactor->Post([weak = weak_from_this()] {
            if (const auto self = weak.lock(); self && self->IsOpen()) {
                self->OnClose(0);
            }
        });
    }
}

size_t CClientSocket::QueuedBlocks() const {
    platform::CriticalSectionLock guard(lock_);
    return queue_.blocks();
}

size_t CClientSocket::QueuedBytes() const {
    platform::CriticalSectionLock guard(lock_);
    return queue_.bytes();
}

size_t CClientSocket::QueuedFrontSize() const {
    platform::CriticalSectionLock guard(lock_);
    return queue_.front_size();
}

short CClientSocket::PollEvents() const {
    if (connecting_.load()) {
        return POLLOUT;
    }
    // Reading goes on even after an explicit shutdown of an accepted connection, so that its
    // end is noticed and it leaves its server.
    const bool write = connected_.load() && want_write_.load();
    return static_cast<short>(POLLIN | (write ? POLLOUT : 0));
}

void CClientSocket::OnPollEvents(short revents) {
    if (connecting_.load()) {
        if ((revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            FinishConnect();
        }
        return;
    }
    if (turn_pending_) {
        // What the receiver kept goes first; the connection is read again once it is handled,
        // and its end is noticed then.
        GoOnWithKept();
    } else if ((revents & (POLLIN | POLLERR | POLLHUP)) != 0 && !OnReceive()) {
        return;
    }
    if ((revents & POLLOUT) != 0) {
        OnSend();
    }
}

void CClientSocket::FinishConnect() {
    int error = 0;
    {
        platform::CriticalSectionLock guard(lock_);
        const int fd = fd_.load();
        if (!connecting_.load() || fd < 0) {
            return;
        }
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error == 0) {
            sockaddr_in peer{};
            socklen_t peer_size = sizeof peer;
            if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0) {
                // Readiness left over from an earlier descriptor: the connection is still
                // being made.
                return;
            }
        }
        connecting_.store(false);
        OnConnect(platform::WsaErrorFromErrno(error));
    }
}

void CClientSocket::OnConnect(int error) {
    platform::CriticalSectionLock guard(lock_);
    last_error_.store(error);
    connected_.store(error == 0);
    if (error != 0) {
        CloseDescriptorLocked();
        return;
    }
    if (peer_port_ == 0) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd_.load(), reinterpret_cast<sockaddr*>(&peer), &size) == 0) {
            DescribeIpv4(peer, peer_address_, peer_port_);
        }
    }
    // Whatever was sent while the connection was being made leaves now.
    DrainLocked();
}

bool CClientSocket::OnReceive() {
    const int capacity = receive_capacity_.load();
    const bool small_turns = accepted_ && !active_.load();
    // A connection that was the active one may have a large buffer still.
    const int wanted = small_turns ? std::min(capacity - 1, kSmallTurnBytes) : capacity - 1;
    ssize_t received = 0;
    int error = 0;
    {
        platform::CriticalSectionLock guard(lock_);
        const int fd = fd_.load();
        if (fd < 0) {
            return false;
        }
        received = ::recv(fd, receive_buffer_.get(), static_cast<size_t>(wanted), MSG_DONTWAIT);
        error = received < 0 ? errno : 0;
    }
    if (received < 0) {
        if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) {
            return true;
        }
        last_error_.store(platform::WsaErrorFromErrno(error));
        OnClose(last_error_.load());
        return false;
    }
    if (received == 0) {
        OnClose(0);
        return false;
    }
    if (ending_.load()) {
        // Its close is on the way; nothing more of it is kept.
        return true;
    }
    receive_buffer_[received] = 0;
    receiver_.Receive(this, static_cast<int>(received));
    if (!small_turns && received == capacity - 1 && capacity < kMaxReceiveCapacity) {
        // The old bytes were handed over already; the next read may take more.
        receive_buffer_ =
            std::make_unique<uint8_t[]>(static_cast<size_t>(capacity + kReceiveGrowth));
        receive_capacity_.store(capacity + kReceiveGrowth);
    }
    return true;
}

void CClientSocket::GoOnWithKept() {
    turn_pending_ = false;
    if (ending_.load() || fd_.load() < 0) {
        // Its close is on the way; nothing more of it is handled.
        return;
    }
    receiver_.Receive(this, 0);
}

void CClientSocket::OnSend() {
    platform::CriticalSectionLock guard(lock_);
    if (connected_.load()) {
        DrainLocked();
    }
}

void CClientSocket::OnClose(int error) {
    closing_.store(true);
    receiver_.Close(this, error);
    if (accepted_) {
        if (auto server = server_.lock()) {
            server->Forget(this);
        }
        Destroy();
        return;
    }
    Shutdown();
    // An outgoing connection may be made again.
    closing_.store(false);
}

void CClientSocket::Destroy() {
    closing_.store(true);
    {
        platform::CriticalSectionLock guard(lock_);
        queue_.Clear();
        AccountQueueLocked(false);
        want_write_.store(false);
        connected_.store(false);
        CloseDescriptorLocked();
    }
    if (account_) {
        account_->Hold(BufferAccount::kReceived, 0);
    }
    if (auto reactor = reactor_.lock()) {
        reactor->Remove(this);
    }
}

void CClientSocket::DrainLocked() {
    const int fd = fd_.load();
    if (fd >= 0) {
        const int error = queue_.Drain([fd](const iovec* blocks, int count, int& error) {
            return SendVector(fd, blocks, count, error);
        });
        if (error != 0) {
            last_error_.store(platform::WsaErrorFromErrno(error));
        }
    }
    UpdateWriteInterestLocked();
    AccountQueueLocked(false);
}

void CClientSocket::UpdateWriteInterestLocked() {
    const bool want = !queue_.empty();
    if (want_write_.exchange(want) != want && want) {
        if (auto reactor = reactor_.lock(); reactor && !reactor->IsLoopThread()) {
            reactor->Wake();
        }
    }
}

void CClientSocket::CloseDescriptorLocked() {
    CloseDescriptor(fd_.exchange(-1));
}

}  // namespace ruzd::net
