#include "platform/service_control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/owned_fd.h"
#include "platform/root.h"
#include "platform/service_run_files.h"
#include "platform/unix_socket_address.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

constexpr int kBacklog = 16;

// Waits until `fd` is ready for `events` before the deadline; false at the deadline.
bool WaitReady(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, static_cast<int>(std::max<int64_t>(0, left.count())));
        if (result > 0) {
            return true;
        }
        if (result == 0 || errno != EINTR) {
            return false;
        }
    }
}

// Connects `socket` (non-blocking) before the deadline: a live listener whose backlog is full
// makes a connect fail with EAGAIN rather than wait, so the connect is tried again. 0, or the
// Win32 code of the failure.
uint32_t ConnectBefore(int socket, const UnixSocketAddress& address,
                       std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        if (::connect(socket, address.get(), address.size()) == 0) {
            return kErrorSuccess;
        }
        switch (errno) {
            case EINTR:
                continue;
            case EAGAIN:
                if (std::chrono::steady_clock::now() >= deadline) {
                    return kErrorServiceRequestTimeout;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            case EACCES:
            case EPERM:
                return kErrorAccessDenied;
            default:
                return kErrorServiceNotActive;
        }
    }
}

}  // namespace

uint32_t ExchangeServiceControl(std::string_view name, uint32_t control, uint32_t event_type,
                                uint32_t timeout_ms, ServiceControlReply* reply) {
    const std::filesystem::path path = ServiceControlSocket(name);
    if (path.empty()) {
        return kErrorInvalidName;
    }
    const UnixSocketAddress address(path.parent_path(), path.filename().string());
    if (!address.valid()) {
        return kErrorInvalidName;
    }
    const OwnedFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0) {
        return WinErrorFromLastErrno();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    const auto timed_out = [&path] {
        SayServiceFileProblem(path, "the service did not answer in time");
        return kErrorServiceRequestTimeout;
    };
    if (const uint32_t error = ConnectBefore(socket.get(), address, deadline);
        error != kErrorSuccess) {
        return error == kErrorServiceRequestTimeout ? timed_out() : error;
    }
    const ServiceControlRequest request{kServiceControlMagic, control, event_type, 0};
    if (!WaitReady(socket.get(), POLLOUT, deadline)) {
        return timed_out();
    }
    if (::send(socket.get(), &request, sizeof request, MSG_NOSIGNAL) !=
        static_cast<ssize_t>(sizeof request)) {
        return kErrorServiceNotActive;
    }
    if (!WaitReady(socket.get(), POLLIN, deadline)) {
        return timed_out();
    }
    ServiceControlReply answer;
    ssize_t got = -1;
    do {
        got = ::recv(socket.get(), &answer, sizeof answer, 0);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        // The service went away while it held the control: it has stopped.
        return kErrorServiceNotActive;
    }
    if (got != static_cast<ssize_t>(sizeof answer) || answer.magic != kServiceControlMagic) {
        return kErrorServiceRequestTimeout;
    }
    *reply = answer;
    return kErrorSuccess;
}

int ListenServiceControl(std::string_view name) {
    const std::filesystem::path path = ServiceControlSocket(name);
    if (path.empty()) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const UnixSocketAddress address(path.parent_path(), path.filename().string());
    if (!address.valid()) {
        errno = ENAMETOOLONG;
        return -1;
    }
    OwnedFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        return -1;
    }
    // The socket file takes the rights of the socket as it is bound (less the umask). No chmod
    // by name after the bind: the folder may be the service account's, which could put a link
    // in the socket's place, and a chmod of root's would follow it.
    if (::fchmod(socket.get(), 0600) != 0) {
        return -1;
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    if (::bind(socket.get(), address.get(), address.size()) != 0 ||
        ::listen(socket.get(), kBacklog) != 0) {
        return -1;
    }
    return socket.release();
}

bool IsListeningControlSocket(int fd) {
    int type = 0;
    int listening = 0;
    socklen_t size = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &size) != 0 || type != SOCK_SEQPACKET) {
        return false;
    }
    size = sizeof listening;
    return ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening != 0;
}

bool ReceiveServiceControl(int connection, uint32_t timeout_ms, ServiceControlRequest* request,
                           bool* malformed) {
    *malformed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    if (!WaitReady(connection, POLLIN, deadline)) {
        return false;
    }
    // One byte more than a request, so that a longer packet is seen as not a request either.
    char buffer[sizeof(ServiceControlRequest) + 1];
    ssize_t got = -1;
    do {
        got = ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        return false;
    }
    if (got != static_cast<ssize_t>(sizeof(ServiceControlRequest))) {
        *malformed = true;
        return false;
    }
    std::memcpy(request, buffer, sizeof *request);
    if (request->magic != kServiceControlMagic) {
        *malformed = true;
        return false;
    }
    return true;
}

bool PeerMayControl(int connection) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
        return false;
    }
    return peer.uid == 0 || peer.uid == ::geteuid();
}

void SendServiceControlReply(int connection, const ServiceControlReply& reply) {
    ssize_t sent = -1;
    do {
        sent = ::send(connection, &reply, sizeof reply, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (sent < 0 && errno == EINTR);
}

}  // namespace ruzd::platform
