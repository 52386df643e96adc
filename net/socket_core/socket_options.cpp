#include "net/socket_core/socket_options.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace ruzd::net {

std::mutex& SocketCreationLock() {
    static std::mutex lock;
    return lock;
}

bool SetStreamOptions(int fd) {
    const int on = 1;
    const int idle_seconds = kKeepAliveIdleMs / 1000;
    const int interval_seconds = kKeepAliveIntervalMs / 1000;
    return ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle_seconds, sizeof idle_seconds) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval_seconds,
                        sizeof interval_seconds) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool ResolveIpv4(const std::string& host, int port, sockaddr_in& address) {
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

void DescribeIpv4(const sockaddr_in& address, std::string& text, unsigned& port) {
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, dotted, sizeof dotted);
    text = dotted;
    port = ntohs(address.sin_port);
}

void CloseDescriptor(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

}  // namespace ruzd::net
