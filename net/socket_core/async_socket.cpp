#include "net/socket_core/async_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "net/connection_limit.h"
#include "net/socket_core/socket_options.h"
#include "platform/wsa_error.h"

namespace ruzd::net {

AsyncSocket::AsyncSocket(const std::shared_ptr<SocketReactor>& reactor) : reactor_(reactor) {}

AsyncSocket::~AsyncSocket() {
    CloseDescriptor(fd_.exchange(-1));
}

bool AsyncSocket::Create(uint16_t port, const std::string& address) {
    platform::CriticalSectionLock guard(lock_);
    if (fd_.load() >= 0) {
        last_error_.store(platform::kWsaEinval);
        return false;
    }
    std::lock_guard creation(SocketCreationLock());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        last_error_.store(platform::WsaErrorFromErrno(errno));
        return false;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    if (address.empty()) {
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = htons(port);
    } else if (!ResolveIpv4(address, port, local)) {
        last_error_.store(platform::kWsaEaddrnotavail);
        CloseDescriptor(fd);
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        last_error_.store(platform::WsaErrorFromErrno(errno));
        CloseDescriptor(fd);
        return false;
    }
    SetStreamOptions(fd);
    fd_.store(fd);
    return true;
}

bool AsyncSocket::Listen(int backlog) {
    {
        platform::CriticalSectionLock guard(lock_);
        if (::listen(fd_.load(), backlog) != 0) {
            last_error_.store(platform::WsaErrorFromErrno(errno));
            return false;
        }
        listening_.store(true);
    }
    Watch();
    return true;
}

bool AsyncSocket::Connect(const std::string& host, uint16_t port) {
    sockaddr_in address{};
    if (!ResolveIpv4(host, port, address)) {
        last_error_.store(platform::kWsaHostNotFound);
        return false;
    }
    {
        platform::CriticalSectionLock guard(lock_);
        if (::connect(fd_.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
            0) {
            connected_.store(true);
        } else if (errno == EINPROGRESS) {
            last_error_.store(platform::kWsaEwouldblock);
            connecting_.store(true);
        } else {
            last_error_.store(platform::WsaErrorFromErrno(errno));
            return false;
        }
    }
    Watch();
    return connected_.load();
}

void AsyncSocket::SetAccessGate(std::shared_ptr<foundation::AddressGate> gate,
                                std::string port_name) {
    gate_ = std::move(gate);
    port_name_ = std::move(port_name);
}

bool AsyncSocket::Accept(AsyncSocket& target, sockaddr_in* peer) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const int fd = ::accept4(fd_.load(), reinterpret_cast<sockaddr*>(&address), &size,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        last_error_.store(platform::WsaErrorFromErrno(error));
        if (AcceptPause::IsLackOfDescriptors(error)) {
            unsigned port = 0;
            std::string address;
            GetSockName(address, port);
            accept_pause_.Begin(reactor_.lock(), weak_from_this(), static_cast<int>(port));
        }
        return false;
    }
    accept_pause_.Accepted();
    if (gate_ && !gate_->Admits(ntohl(address.sin_addr.s_addr))) {
        CloseDescriptor(fd);
        std::string text;
        unsigned port = 0;
        DescribeIpv4(address, text, port);
        LogRefusedPeer(*gate_, ntohl(address.sin_addr.s_addr), text, port_name_.c_str());
        last_error_.store(platform::kWsaEconnrefused);
        return false;
    }
    if (target.fd_.load() >= 0) {
        CloseDescriptor(fd);
        last_error_.store(platform::kWsaEinval);
        return false;
    }
    SetStreamOptions(fd);
    if (peer != nullptr) {
        *peer = address;
    }
    target.fd_.store(fd);
    target.connected_.store(true);
    target.Watch();
    return true;
}

int AsyncSocket::Send(const uint8_t* data, size_t length) {
    platform::CriticalSectionLock guard(lock_);
    const ssize_t sent = ::send(fd_.load(), data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
        last_error_.store(platform::WsaErrorFromErrno(errno == EAGAIN ? EWOULDBLOCK : errno));
        return -1;
    }
    return static_cast<int>(sent);
}

int AsyncSocket::Receive(uint8_t* buffer, size_t length) {
    const ssize_t received = ::recv(fd_.load(), buffer, length, MSG_DONTWAIT);
    if (received > 0) {
        return static_cast<int>(received);
    }
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        last_error_.store(platform::kWsaEwouldblock);
        return -1;
    }
    const int error = received == 0 ? 0 : platform::WsaErrorFromErrno(errno);
    last_error_.store(error);
    close_error_.store(error);
    close_seen_.store(true);
    return received == 0 ? 0 : -1;
}

size_t AsyncSocket::Available() const {
    int count = 0;
    if (::ioctl(fd_.load(), FIONREAD, &count) != 0 || count < 0) {
        return 0;
    }
    return static_cast<size_t>(count);
}

bool AsyncSocket::WaitReadable(int timeoutMs) const {
    pollfd watched{fd_.load(), POLLIN, 0};
    return ::poll(&watched, 1, timeoutMs) > 0;
}

void AsyncSocket::Close() {
    {
        platform::CriticalSectionLock guard(lock_);
        listening_.store(false);
        connecting_.store(false);
        connected_.store(false);
        want_write_.store(false);
        close_seen_.store(false);
        CloseDescriptor(fd_.exchange(-1));
    }
    if (const auto reactor = reactor_.lock()) {
        reactor->Remove(this);
    }
}

bool AsyncSocket::GetPeerName(std::string& address, unsigned& port) const {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(fd_.load(), reinterpret_cast<sockaddr*>(&peer), &size) != 0) {
        return false;
    }
    DescribeIpv4(peer, address, port);
    return true;
}

bool AsyncSocket::GetSockName(std::string& address, unsigned& port) const {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (::getsockname(fd_.load(), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
        return false;
    }
    DescribeIpv4(local, address, port);
    return true;
}

short AsyncSocket::PollEvents() const {
    if (listening_.load()) {
        return accept_pause_.Paused() ? 0 : POLLIN;
    }
    if (connecting_.load()) {
        return POLLOUT;
    }
    if (!connected_.load()) {
        return 0;
    }
    return static_cast<short>(POLLIN | (want_write_.load() ? POLLOUT : 0));
}

void AsyncSocket::OnPollEvents(short revents) {
    // The reactor holds the socket during the call; this keeps it alive across a close.
    const std::shared_ptr<AsyncSocket> self = shared_from_this();
    if (listening_.load()) {
        if ((revents & POLLIN) != 0 && !accept_pause_.Paused()) {
            OnAccept(0);
        }
        return;
    }
    if (connecting_.load()) {
        if ((revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            FinishConnect();
        }
        return;
    }
    if (!connected_.load()) {
        return;
    }
    if ((revents & (POLLIN | POLLERR | POLLHUP)) != 0) {
        OnReceive(0);
        if (close_seen_.exchange(false) && IsOpen()) {
            connected_.store(false);
            OnClose(close_error_.load());
            return;
        }
    }
    if ((revents & POLLOUT) != 0 && IsOpen()) {
        OnSend(0);
    }
}

void AsyncSocket::SetWantWrite(bool want) {
    if (want_write_.exchange(want) != want && want) {
        if (const auto reactor = reactor_.lock(); reactor && !reactor->IsLoopThread()) {
            reactor->Wake();
        }
    }
}

void AsyncSocket::FinishConnect() {
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(fd_.load(), SOL_SOCKET, SO_ERROR, &error, &size);
    connecting_.store(false);
    if (error != 0) {
        last_error_.store(platform::WsaErrorFromErrno(error));
        Close();
        OnConnect(platform::WsaErrorFromErrno(error));
        return;
    }
    SetStreamOptions(fd_.load());
    connected_.store(true);
    OnConnect(0);
}

void AsyncSocket::Watch() {
    if (const auto reactor = reactor_.lock()) {
        reactor->Add(shared_from_this());
    }
}

}  // namespace ruzd::net
