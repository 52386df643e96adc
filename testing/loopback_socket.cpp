#include "testing/loopback_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace ruzd::testing {
namespace {

sockaddr_in LoopbackAddress(unsigned port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

unsigned PortOf(int fd) {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    // The port lies at the same place in the IPv4 and the IPv6 forms.
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<int64_t>(left.count(), 0));
}

// A signal (a fuzzer's timer, a profiler's) ends a wait early with EINTR: the wait goes on
// until input comes or the time is over.
bool WaitForInput(int fd, int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        pollfd watched{fd, POLLIN, 0};
        const int ready = ::poll(&watched, 1, MillisecondsLeft(deadline));
        if (ready >= 0 || errno != EINTR) {
            return ready > 0;
        }
    }
}

struct PortRange {
    unsigned begin;
    unsigned end;
};

// The ports below the kernel's range for outgoing connections, at most 12000 of them.
PortRange ClaimablePorts() {
    unsigned low = 32768;
    std::ifstream("/proc/sys/net/ipv4/ip_local_port_range") >> low;
    low = std::clamp(low, 2048u, 65535u);
    return PortRange{std::max(1024u, low > 12000 ? low - 12000 : 1024u), low};
}

bool Bindable(unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Takes the port's lock file, held open (and so locked) until the process ends, when the port
// can be bound now.
bool ClaimPort(unsigned port) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "ruzd-test-ports";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::string path = (folder / std::to_string(port)).string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !Bindable(port)) {
        ::close(fd);
        return false;
    }
    return true;
}

}  // namespace

uint16_t FreePort() {
    static std::mutex lock;
    static std::mt19937 generator(std::random_device{}());
    const std::lock_guard<std::mutex> guard(lock);
    const PortRange range = ClaimablePorts();
    const unsigned count = range.end - range.begin;
    const unsigned start = std::uniform_int_distribution<unsigned>(0, count - 1)(generator);
    for (unsigned step = 0; step < count; ++step) {
        const unsigned port = range.begin + (start + step) % count;
        if (ClaimPort(port)) {
            return static_cast<uint16_t>(port);
        }
    }
    // Every port of the range is taken: the kernel's choice, as a last resort.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const unsigned port = PortOf(fd);
    ::close(fd);
    return static_cast<uint16_t>(port);
}

size_t UnreadBytes(int fd) {
    int unread = 0;
    return ::ioctl(fd, FIONREAD, &unread) == 0 ? static_cast<size_t>(unread) : SIZE_MAX;
}

KeepAlive KeepAliveOf(int fd) {
    KeepAlive settings;
    socklen_t size = sizeof settings.on;
    ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &settings.on, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &settings.idle, &size);
    ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &settings.interval, &size);
    return settings;
}

bool NoDelayOf(int fd) {
    int on = 0;
    socklen_t size = sizeof on;
    return ::getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

RawConnection::RawConnection(RawConnection&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

RawConnection& RawConnection::operator=(RawConnection&& other) noexcept {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
    return *this;
}

RawConnection RawConnection::Connect(unsigned port, std::string* reason) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (reason != nullptr) {
            *reason = std::strerror(errno);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        return RawConnection();
    }
    return RawConnection(fd);
}

RawConnection RawConnection::ConnectFrom(unsigned local_port, unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in local = LoopbackAddress(local_port);
    const sockaddr_in remote = LoopbackAddress(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return RawConnection();
    }
    return RawConnection(fd);
}

RawConnection RawConnection::ConnectFromAddress(const char* local_address, unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local = LoopbackAddress(0);
    const sockaddr_in remote = LoopbackAddress(port);
    // The local port is chosen at connect, for the four-tuple: thousands of short connections
    // from one address then do not run out of ports while the closed ones wait out TIME_WAIT.
    const int late_port = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &late_port, sizeof late_port);
    if (::inet_pton(AF_INET, local_address, &local.sin_addr) != 1 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return RawConnection();
    }
    return RawConnection(fd);
}

RawConnection RawConnection::ConnectTo(const char* address, unsigned port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in remote = LoopbackAddress(port);
    if (fd < 0 || ::inet_pton(AF_INET, address, &remote.sin_addr) != 1 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return RawConnection();
    }
    return RawConnection(fd);
}

RawConnection RawConnection::ConnectMapped(unsigned port) {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 remote{};
    remote.sin6_family = AF_INET6;
    remote.sin6_port = htons(static_cast<uint16_t>(port));
    if (fd < 0 || ::inet_pton(AF_INET6, "::ffff:127.0.0.1", &remote.sin6_addr) != 1 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return RawConnection();
    }
    return RawConnection(fd);
}

RawConnection RawConnection::ConnectWhenListening(unsigned port, std::chrono::milliseconds patience,
                                                  const std::function<bool()>& gave_up) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        RawConnection connection = Connect(port);
        if (connection.valid() || std::chrono::steady_clock::now() > deadline ||
            (gave_up && gave_up())) {
            return connection;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<RawConnection> ConnectMany(unsigned port, size_t count,
                                       std::chrono::milliseconds patience) {
    constexpr int kAttemptMs = 20;
    std::vector<RawConnection> connections;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (connections.size() < count && std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            break;
        }
        const sockaddr_in address = LoopbackAddress(port);
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        pollfd watched{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (::poll(&watched, 1, kAttemptMs) == 1 &&
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            connections.emplace_back(fd);
        } else {
            ::close(fd);
        }
    }
    return connections;
}

unsigned RawConnection::LocalPort() const {
    return PortOf(fd_);
}

bool RawConnection::SendAtOnce() {
    const int on = 1;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0;
}

bool RawConnection::SetSendPatience(std::chrono::milliseconds patience) {
    const timeval limit{static_cast<time_t>(patience.count() / 1000),
                        static_cast<suseconds_t>(patience.count() % 1000 * 1000)};
    return ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0;
}

bool RawConnection::SendAll(const void* data, size_t length) {
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

int64_t RawConnection::SendPart(const void* data, size_t length) {
    ssize_t sent = 0;
    do {
        sent = ::send(fd_, data, length, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
    return sent;
}

std::vector<uint8_t> RawConnection::Read(size_t length, std::chrono::milliseconds patience) {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + patience;
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

std::string RawConnection::ReadText(size_t length) {
    const std::vector<uint8_t> bytes = Read(length);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> RawConnection::ReadSome(std::chrono::milliseconds patience, size_t at_most) {
    if (!WaitReadable(std::chrono::steady_clock::now() + patience)) {
        return {};
    }
    std::vector<uint8_t> bytes(at_most);
    ssize_t got = 0;
    do {
        got = ::recv(fd_, bytes.data(), bytes.size(), 0);
    } while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
}

bool RawConnection::WaitClosed() {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        if (!WaitReadable(deadline)) {
            return false;
        }
        uint8_t chunk[4096];
        if (::recv(fd_, chunk, sizeof chunk, 0) <= 0) {
            return true;
        }
    }
}

bool RawConnection::ClosedWithin(std::chrono::milliseconds patience) {
    if (!WaitForInput(fd_, static_cast<int>(patience.count()))) {
        return false;
    }
    uint8_t byte = 0;
    return ::recv(fd_, &byte, 1, MSG_PEEK) == 0;
}

bool RawConnection::StaysQuiet(std::chrono::milliseconds quiet) {
    pollfd watched{fd_, POLLIN, 0};
    return ::poll(&watched, 1, static_cast<int>(quiet.count())) == 0;
}

void RawConnection::Reset() {
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    Close();
}

void RawConnection::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool RawConnection::WaitReadable(std::chrono::steady_clock::time_point deadline) {
    const int left = MillisecondsLeft(deadline);
    return left > 0 && WaitForInput(fd_, left);
}

ConnectionDrain::ConnectionDrain(std::vector<RawConnection> connections)
    : connections_(std::move(connections)) {
    worker_ = std::thread([this] {
        std::vector<pollfd> watched;
        for (const RawConnection& connection : connections_) {
            watched.push_back(pollfd{connection.descriptor(), POLLIN, 0});
        }
        std::vector<uint8_t> chunk(65536);
        while (!stop_.load()) {
            // Now and then a look at the stop flag; a closed connection is watched no more.
            if (::poll(watched.data(), watched.size(), 50) <= 0) {
                continue;
            }
            for (pollfd& one : watched) {
                if (one.revents == 0) {
                    continue;
                }
                const ssize_t got = ::recv(one.fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
                if (got > 0) {
                    bytes_.fetch_add(static_cast<uint64_t>(got));
                } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                    one.fd = -1;
                }
            }
        }
    });
}

ConnectionDrain::~ConnectionDrain() {
    stop_.store(true);
    worker_.join();
}

RawListener::RawListener(unsigned port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = LoopbackAddress(port);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 16) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    port_ = PortOf(fd_);
}

RawConnection RawListener::Accept(std::chrono::milliseconds patience) {
    if (!WaitForInput(fd_, static_cast<int>(patience.count()))) {
        return RawConnection();
    }
    return RawConnection(::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC));
}

void RawListener::Shutdown() {
    ::shutdown(fd_, SHUT_RDWR);
}

void RawListener::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

OneConnectionSink::OneConnectionSink(unsigned port) : listener_(port) {
    if (!listener_.valid()) {
        return;
    }
    worker_ = std::thread([this] {
        RawConnection connection = listener_.Accept(std::chrono::hours(1));
        if (!connection.valid()) {
            return;
        }
        std::string text;
        for (std::vector<uint8_t> chunk; !(chunk = connection.ReadSome()).empty();) {
            text.append(chunk.begin(), chunk.end());
        }
        received_.set_value(text);
    });
}

OneConnectionSink::~OneConnectionSink() {
    listener_.Shutdown();
    if (worker_.joinable()) {
        worker_.join();
    }
}

EchoServer::EchoServer(std::function<void()> prepare) {
    worker_ = std::thread([this, prepare = std::move(prepare)] {
        if (prepare) {
            prepare();
        }
        RawConnection connection = listener_.Accept(std::chrono::hours(1));
        connection.SendAtOnce();
        for (;;) {
            const std::vector<uint8_t> got = connection.ReadSome(kPatience, 2048);
            if (got.empty() || !connection.SendAll(got)) {
                break;
            }
        }
    });
}

double EchoServer::CpuSeconds() {
    clockid_t clock{};
    timespec used{};
    if (pthread_getcpuclockid(worker_.native_handle(), &clock) != 0 ||
        ::clock_gettime(clock, &used) != 0) {
        return 0;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

EchoServer::~EchoServer() {
    listener_.Shutdown();
    worker_.join();
}

}  // namespace ruzd::testing
