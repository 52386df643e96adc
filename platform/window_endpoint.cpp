#include "platform/window_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/root.h"
#include "platform/text.h"
#include "platform/unix_socket_address.h"
#include "platform/win_path.h"

namespace ruzd::platform::window_endpoint {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "window.";
constexpr int kListenBacklog = 64;

bool KeptAsIs(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

std::optional<uint64_t> ParseNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 19) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

int RemainingMs(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(0, left.count()));
}

// Waits until the socket is ready for `events`; false at the deadline (errno ETIMEDOUT).
bool WaitReady(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int result = ::poll(&entry, 1, RemainingMs(deadline));
        if (result > 0) {
            return true;
        }
        if (result == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

Deadline DeadlineAfter(uint32_t timeout_ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
}

std::optional<std::string> EncodeClassName(std::string_view class_name) {
    const std::string folded = AsciiLower(FoldWindowsNameCase(class_name));
    if (folded.empty()) {
        return std::nullopt;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : folded) {
        if (KeptAsIs(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    if (encoded.size() > kMaxEncodedClassBytes) {
        return std::nullopt;
    }
    return encoded;
}

std::string EndpointName(std::string_view encoded_class, pid_t pid, uint64_t serial) {
    return std::string(kPrefix) + std::string(encoded_class) + "." + std::to_string(pid) + "." +
           std::to_string(serial);
}

std::optional<EndpointParts> ParseEndpointName(std::string_view file_name) {
    if (!file_name.starts_with(kPrefix)) {
        return std::nullopt;
    }
    const std::string_view rest = file_name.substr(kPrefix.size());
    const size_t first = rest.find('.');
    const size_t second = first == std::string_view::npos ? first : rest.find('.', first + 1);
    if (first == 0 || second == std::string_view::npos ||
        rest.find('.', second + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    const auto pid = ParseNumber(rest.substr(first + 1, second - first - 1));
    const auto serial = ParseNumber(rest.substr(second + 1));
    if (!pid || !serial || *pid == 0 || *pid > 0x7FFFFFFF) {
        return std::nullopt;
    }
    return EndpointParts{std::string(rest.substr(0, first)), static_cast<pid_t>(*pid), *serial};
}

std::vector<std::string> ListEndpoints() {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(RootSubdir("run"), error)) {
        std::string name = entry.path().filename().string();
        if (ParseEndpointName(name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

int Listen(const std::string& name) {
    const UnixSocketAddress address(RootSubdir("run"), name);
    if (!address.valid()) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    Remove(name);
    if (::bind(fd, address.get(), address.size()) != 0 || ::listen(fd, kListenBacklog) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int Connect(const std::string& name, Deadline deadline) {
    const UnixSocketAddress address(RootSubdir("run"), name);
    if (!address.valid()) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    for (;;) {
        if (::connect(fd, address.get(), address.size()) == 0) {
            return fd;
        }
        // A full backlog means a live owner that has fallen behind: try again until the deadline.
        if (errno != EAGAIN && errno != EINTR) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = ETIMEDOUT;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

void RemoveIfOwnerDead(const std::string& name) {
    const auto parts = ParseEndpointName(name);
    if (!parts) {
        return;
    }
    // Only a refused connection and a vanished owner together make the file stale: a live
    // process may be just about to listen on its new endpoint.
    const int fd = Connect(name, DeadlineAfter(0));
    if (fd >= 0) {
        ::close(fd);
        return;
    }
    if (errno == ECONNREFUSED && ::kill(parts->pid, 0) != 0 && errno == ESRCH) {
        Remove(name);
    }
}

void Remove(const std::string& name) {
    std::error_code ignored;
    fs::remove(RootSubdir("run") / name, ignored);
}

bool WriteAll(int fd, const void* data, size_t size, Deadline deadline) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t written = ::send(fd, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (written > 0) {
            bytes += written;
            size -= static_cast<size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitReady(fd, POLLOUT, deadline)) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size, Deadline deadline) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (size > 0) {
        const ssize_t got = ::recv(fd, bytes, size, MSG_DONTWAIT);
        if (got > 0) {
            bytes += got;
            size -= static_cast<size_t>(got);
            continue;
        }
        if (got == 0) {
            errno = ECONNRESET;
            return false;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitReady(fd, POLLIN, deadline)) {
                return false;
            }
            continue;
        }
        return false;
    }
    return true;
}

bool Exchange(const std::string& name, const Request& request, Deadline deadline, Reply& reply,
              std::string* title) {
    const int fd = Connect(name, deadline);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, &request, sizeof request, deadline) &&
              ReadAll(fd, &reply, sizeof reply, deadline);
    if (ok && reply.magic != kMagic) {
        errno = EPROTO;
        ok = false;
    }
    if (ok && title != nullptr) {
        if (reply.value < 0 || static_cast<uint64_t>(reply.value) > kMaxTitleBytes) {
            errno = EPROTO;
            ok = false;
        } else {
            title->assign(static_cast<size_t>(reply.value), '\0');
            ok = ReadAll(fd, title->data(), title->size(), deadline);
        }
    }
    const int error = errno;
    ::close(fd);
    errno = error;
    return ok;
}

}  // namespace ruzd::platform::window_endpoint
