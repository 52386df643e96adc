#pragma once

// Plain blocking TCP ends on 127.0.0.1 that tests (and benchmarks) play the far end of a
// connection with, and counters of the process's descriptors and threads. Raw system calls on
// purpose: the far end must not share code with the sockets under test.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ruzd::testing {

// How long a test waits for something that should happen at once before it calls it a failure.
constexpr auto kPatience = std::chrono::seconds(20);

inline size_t CountEntries(const char* folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

inline size_t OpenDescriptors() {
    return CountEntries("/proc/self/fd");
}

inline size_t ProcessThreads() {
    return CountEntries("/proc/self/task");
}

// Waits for `done` to become true; false when it does not within kPatience.
inline bool Eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// One blocking connection end.
class RawConnection {
public:
    RawConnection() = default;
    explicit RawConnection(int fd) : fd_(fd) {}
    RawConnection(RawConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    RawConnection& operator=(RawConnection&& other) noexcept {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
        return *this;
    }
    ~RawConnection() { Close(); }

    static RawConnection Connect(unsigned port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return RawConnection();
        }
        return RawConnection(fd);
    }

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool SendAll(const void* data, size_t length) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (length > 0) {
            const ssize_t sent = ::send(fd_, bytes, length, MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            bytes += sent;
            length -= static_cast<size_t>(sent);
        }
        return true;
    }
    bool SendAll(const std::vector<uint8_t>& bytes) { return SendAll(bytes.data(), bytes.size()); }
    bool SendAll(const std::string& text) { return SendAll(text.data(), text.size()); }

    // Reads exactly `length` bytes; fewer when the connection ends or nothing comes in time.
    std::vector<uint8_t> Read(size_t length) {
        std::vector<uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (bytes.size() < length) {
            if (!WaitReadable(deadline)) {
                break;
            }
            uint8_t chunk[65536];
            const size_t want = std::min(sizeof chunk, length - bytes.size());
            const ssize_t got = ::recv(fd_, chunk, want, 0);
            if (got <= 0) {
                break;
            }
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
        return bytes;
    }

    // Whatever has arrived, after waiting for at least one byte; empty when the connection ends
    // or nothing comes in time.
    std::vector<uint8_t> ReadSome() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        if (!WaitReadable(deadline)) {
            return {};
        }
        std::vector<uint8_t> bytes(65536);
        const ssize_t got = ::recv(fd_, bytes.data(), bytes.size(), 0);
        bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return bytes;
    }

    // Blocking reads until `length` bytes came; false when the connection ends first.
    bool ReceiveExactly(uint8_t* bytes, size_t length) {
        while (length > 0) {
            const ssize_t got = ::recv(fd_, bytes, length, 0);
            if (got <= 0) {
                return false;
            }
            bytes += got;
            length -= static_cast<size_t>(got);
        }
        return true;
    }

    // One blocking read: how many bytes came, 0 when the connection ended, below 0 on an error.
    ptrdiff_t ReceiveSome(uint8_t* bytes, size_t length) { return ::recv(fd_, bytes, length, 0); }

    // Everything that comes until the peer closes (blocking).
    std::string ReadUntilClosed() {
        std::string text;
        char chunk[4096];
        ssize_t got = 0;
        while ((got = ::recv(fd_, chunk, sizeof chunk, 0)) > 0) {
            text.append(chunk, static_cast<size_t>(got));
        }
        return text;
    }

    std::string ReadText(size_t length) {
        auto bytes = Read(length);
        return std::string(bytes.begin(), bytes.end());
    }

    // True when the peer closed; what was still unread is dropped.
    bool WaitClosed() {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        for (;;) {
            if (!WaitReadable(deadline)) {
                return false;
            }
            uint8_t chunk[4096];
            const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
            if (got <= 0) {
                return true;
            }
        }
    }

    // True when nothing arrives for a short while.
    bool StaysQuiet(std::chrono::milliseconds quiet) {
        pollfd watched{fd_, POLLIN, 0};
        return ::poll(&watched, 1, static_cast<int>(quiet.count())) == 0;
    }

    // Ends the connection with a reset instead of an orderly close.
    void Reset() {
        linger hard{1, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        Close();
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    bool WaitReadable(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd watched{fd_, POLLIN, 0};
        return ::poll(&watched, 1, static_cast<int>(left.count())) > 0;
    }

    int fd_ = -1;
};

// A blocking listener on 127.0.0.1.
class RawListener {
public:
    enum class Bind { kLoopback, kAnyAddress };

    // port 0: a port the system picks.
    explicit RawListener(unsigned port = 0, Bind bind = Bind::kLoopback) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(bind == Bind::kLoopback ? INADDR_LOOPBACK : INADDR_ANY);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(fd_, 16) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        socklen_t size = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~RawListener() { Close(); }
    RawListener(const RawListener&) = delete;
    RawListener& operator=(const RawListener&) = delete;

    bool valid() const { return fd_ >= 0; }
    unsigned port() const { return port_; }

    RawConnection Accept() {
        pollfd watched{fd_, POLLIN, 0};
        const auto patience = std::chrono::duration_cast<std::chrono::milliseconds>(kPatience);
        if (::poll(&watched, 1, static_cast<int>(patience.count())) <= 0) {
            return RawConnection();
        }
        return RawConnection(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
    }

    // Wakes a thread waiting in Accept, which then returns no connection.
    void Shutdown() {
        if (fd_ >= 0) {
            ::shutdown(fd_, SHUT_RDWR);
        }
    }

    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
    unsigned port_ = 0;
};

// The keep-alive settings of a TCP socket of the code under test.
struct KeepAlive {
    int on = 0;
    int idle_seconds = 0;
    int interval_seconds = 0;
};

inline KeepAlive KeepAliveOf(int socket_fd) {
    KeepAlive settings;
    socklen_t size = sizeof settings.on;
    ::getsockopt(socket_fd, SOL_SOCKET, SO_KEEPALIVE, &settings.on, &size);
    ::getsockopt(socket_fd, IPPROTO_TCP, TCP_KEEPIDLE, &settings.idle_seconds, &size);
    ::getsockopt(socket_fd, IPPROTO_TCP, TCP_KEEPINTVL, &settings.interval_seconds, &size);
    return settings;
}

// The bytes received on a socket that nobody has read yet; none when that cannot be told.
inline std::optional<size_t> UnreadBytes(int socket_fd) {
    int unread = 0;
    if (::ioctl(socket_fd, FIONREAD, &unread) != 0 || unread < 0) {
        return std::nullopt;
    }
    return static_cast<size_t>(unread);
}

// A port on 127.0.0.1 that nothing listens on at the moment.
inline unsigned UnusedPort() {
    RawListener probe;
    return probe.port();
}

}  // namespace ruzd::testing
