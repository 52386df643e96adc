#include "net/socket_core/send_once.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

#include "net/socket_core/socket_options.h"
#include "platform/wsa_error.h"

namespace ruzd::net {
namespace {

// Waits until the connection in progress on fd is made or refused, or the deadline passes.
int AwaitConnection(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return platform::kWsaEwouldblock;
        }
        pollfd watched{fd, POLLOUT, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return platform::WsaErrorFromErrno(errno);
        }
        if (ready == 0) {
            return platform::kWsaEwouldblock;
        }
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        return platform::WsaErrorFromErrno(error);
    }
}

}  // namespace

bool SendOnce(const std::string& host, int port, const std::string& text, int timeout_seconds,
              int* error) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(std::max(timeout_seconds, 1));
    int last_error = 0;
    bool connected = false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        SetStreamOptions(fd);
    }
    sockaddr_in address{};
    if (fd < 0) {
        last_error = platform::WsaErrorFromErrno(errno);
    } else if (!ResolveIpv4(host, port, address)) {
        last_error = platform::kWsaHostNotFound;
    } else if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        connected = true;
    } else if (errno != EINPROGRESS) {
        last_error = platform::WsaErrorFromErrno(errno);
    } else {
        last_error = AwaitConnection(fd, deadline);
        connected = last_error == 0;
    }
    if (connected && !text.empty()) {
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    CloseDescriptor(fd);
    if (error != nullptr) {
        *error = last_error;
    }
    return connected;
}

}  // namespace ruzd::net
