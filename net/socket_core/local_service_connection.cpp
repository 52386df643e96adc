#include "net/socket_core/local_service_connection.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "net/socket_core/socket_options.h"
#include "platform/wsa_error.h"

namespace ruzd::net {

LocalServiceConnection::~LocalServiceConnection() {
    Close();
}

bool LocalServiceConnection::Connect(uint16_t port) {
    Close();
    socket_failed_ = false;
    connect_result_ = 0;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        socket_failed_ = true;
        socket_error_ = static_cast<uint32_t>(platform::WsaErrorFromErrno(errno));
        return false;
    }
    SetStreamOptions(fd_);
    sockaddr_in service{};
    service.sin_family = AF_INET;
    service.sin_port = htons(port);
    service.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect_result_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&service), sizeof service);
    if (connect_result_ != 0) {
        Close();
        return false;
    }
    return true;
}

void LocalServiceConnection::SendOnce(std::string_view bytes) {
    if (fd_ >= 0) {
        [[maybe_unused]] const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
}

void LocalServiceConnection::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace ruzd::net
