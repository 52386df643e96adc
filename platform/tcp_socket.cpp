#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/wsa_error.h"

namespace ruzd::platform {
namespace {

thread_local int tls_socket_error = 0;

bool Fail(int error) {
    tls_socket_error = WsaErrorFromErrno(error);
    return false;
}

bool LocalAddressOf(int socket, sockaddr_in& address) {
    socklen_t size = sizeof address;
    return ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) == 0 &&
           address.sin_family == AF_INET;
}

std::string DottedText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr) {
        return {};
    }
    return text;
}

bool Resolve(std::string_view host, uint16_t port, sockaddr_in& address) {
    std::memset(&address, 0, sizeof address);
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    const std::string name(host);
    if (::inet_pton(AF_INET, name.c_str(), &address.sin_addr) == 1) {
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        tls_socket_error = kWsaHostNotFound;
        return false;
    }
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

}  // namespace

int SocketLastError() {
    return tls_socket_error;
}

int TcpSocketCreate() {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        Fail(errno);
        return kInvalidSocket;
    }
    return socket;
}

bool TcpSocketListen(int socket, uint16_t port, int backlog) {
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket, backlog) != 0) {
        return Fail(errno);
    }
    return true;
}

bool TcpSocketConnect(int socket, std::string_view host, uint16_t port) {
    sockaddr_in address;
    if (!Resolve(host, port, address)) {
        return false;
    }
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        tls_socket_error = 0;
        return true;
    }
    if (errno == EINPROGRESS) {
        tls_socket_error = kWsaEwouldblock;
        return true;
    }
    return Fail(errno);
}

int TcpSocketAccept(int listening_socket) {
    const int socket = ::accept4(listening_socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (socket < 0) {
        Fail(errno);
        return kInvalidSocket;
    }
    return socket;
}

bool IsLackOfResources(int socket_error) {
    return socket_error == kWsaEmfile || socket_error == kWsaEnobufs;
}

int TcpSocketSend(int socket, const void* data, size_t size) {
    ssize_t sent;
    do {
        sent = ::send(socket, data, size, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        Fail(errno);
        return -1;
    }
    return static_cast<int>(sent);
}

int TcpSocketReceive(int socket, void* buffer, size_t size) {
    ssize_t got;
    do {
        got = ::recv(socket, buffer, size, 0);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        Fail(errno);
        return -1;
    }
    return static_cast<int>(got);
}

void TcpSocketShutdown(int socket) {
    ::shutdown(socket, SHUT_RDWR);
}

void TcpSocketClose(int socket) {
    if (socket >= 0) {
        ::close(socket);
    }
}

std::string TcpSocketLocalAddress(int socket) {
    sockaddr_in address;
    return LocalAddressOf(socket, address) ? DottedText(address) : std::string();
}

std::string TcpSocketPeerAddress(int socket) {
    sockaddr_in address;
    socklen_t size = sizeof address;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
        address.sin_family != AF_INET) {
        return {};
    }
    return DottedText(address);
}

uint16_t TcpSocketLocalPort(int socket) {
    sockaddr_in address;
    return LocalAddressOf(socket, address) ? ntohs(address.sin_port) : 0;
}

}  // namespace ruzd::platform
