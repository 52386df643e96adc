#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ruzd::platform {

UdpSocket::~UdpSocket() {
    Close();
}

bool UdpSocket::Open() {
    Close();
    handle_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    error_ = handle_ < 0 ? errno : 0;
    return handle_ >= 0;
}

bool UdpSocket::BindLoopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(handle_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

uint16_t UdpSocket::LocalPort() const {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

int UdpSocket::SendTo(uint32_t address, uint16_t port, const void* data, size_t size) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    const ssize_t sent = ::sendto(handle_, data, size, MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent < 0) {
        error_ = errno;
        return -1;
    }
    return static_cast<int>(sent);
}

std::optional<std::vector<uint8_t>> UdpSocket::Receive(std::chrono::milliseconds patience) {
    pollfd ready{handle_, POLLIN, 0};
    const int count = ::poll(&ready, 1, static_cast<int>(patience.count()));
    if (count <= 0) {
        error_ = count < 0 ? errno : 0;
        return std::nullopt;
    }
    std::vector<uint8_t> datagram(65536);
    const ssize_t got = ::recv(handle_, datagram.data(), datagram.size(), 0);
    if (got < 0) {
        error_ = errno;
        return std::nullopt;
    }
    datagram.resize(static_cast<size_t>(got));
    return datagram;
}

int UdpSocket::Close() {
    if (handle_ < 0) {
        return 0;
    }
    const int result = ::close(handle_);
    handle_ = -1;
    error_ = result != 0 ? errno : 0;
    return error_;
}

}  // namespace ruzd::platform
