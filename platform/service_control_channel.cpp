#include "platform/service_control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

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

std::string SocketName(std::string_view name) {
    return ServiceRunFile(name, ".ctl").filename().string();
}

}  // namespace

uint32_t ExchangeServiceControl(std::string_view name, uint32_t control, uint32_t event_type,
                                uint32_t timeout_ms, ServiceControlReply* reply) {
    if (!ServiceRunFileBase(name)) {
        return kErrorInvalidName;
    }
    const UnixSocketAddress address(RootSubdir("run"), SocketName(name));
    if (!address.valid()) {
        return kErrorInvalidName;
    }
    const OwnedFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        return WinErrorFromLastErrno();
    }
    // A connect to a live listener completes at once (a full backlog waits in the kernel).
    int connected = -1;
    do {
        connected = ::connect(socket.get(), address.get(), address.size());
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        return kErrorServiceNotActive;
    }
    const ServiceControlRequest request{kServiceControlMagic, control, event_type, 0};
    if (::send(socket.get(), &request, sizeof request, MSG_NOSIGNAL) !=
        static_cast<ssize_t>(sizeof request)) {
        return kErrorServiceNotActive;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    if (!WaitReady(socket.get(), POLLIN, deadline)) {
        return kErrorServiceRequestTimeout;
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
    const std::filesystem::path path = ServiceRunFile(name, ".ctl");
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
