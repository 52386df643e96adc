#include "testing/unix_sockets.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ruzd::testing {
namespace {

bool AddressOf(const std::filesystem::path& path, sockaddr_un& address) {
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

std::optional<std::string> ReceiveWithin(int fd, std::chrono::milliseconds limit) {
    pollfd entry{fd, POLLIN, 0};
    int ready = -1;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(limit.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
        return std::nullopt;
    }
    char buffer[8192];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got < 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<size_t>(got));
}

}  // namespace

DatagramSink::DatagramSink(std::filesystem::path path) : path_(std::move(path)) {
    sockaddr_un address{};
    if (!AddressOf(path_, address)) {
        return;
    }
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

DatagramSink::~DatagramSink() {
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
}

std::optional<std::string> DatagramSink::Receive(std::chrono::milliseconds limit) {
    return fd_ >= 0 ? ReceiveWithin(fd_, limit) : std::nullopt;
}

LineAnswerer::LineAnswerer(std::filesystem::path path, std::string answer)
    : path_(std::move(path)), answer_(std::move(answer) + "\n") {
    sockaddr_un address{};
    if (!AddressOf(path_, address)) {
        return;
    }
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 &&
        (::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
         ::listen(fd_, 4) != 0)) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ >= 0) {
        thread_ = std::thread([this] { Serve(); });
    }
}

LineAnswerer::~LineAnswerer() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(path_.c_str());
    }
}

std::vector<std::string> LineAnswerer::Lines() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lines_;
}

// Short polls, so that the destructor's stop is seen soon.
void LineAnswerer::Serve() {
    while (!stop_) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, 50) <= 0) {
            continue;
        }
        const int connection = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Converse(connection);
            ::close(connection);
        }
    }
}

void LineAnswerer::Converse(int connection) {
    std::string pending;
    while (!stop_) {
        const std::optional<std::string> got =
            ReceiveWithin(connection, std::chrono::milliseconds(50));
        if (!got) {
            continue;
        }
        if (got->empty()) {
            return;  // the peer closed
        }
        pending += *got;
        for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                lines_.push_back(pending.substr(0, end));
            }
            pending.erase(0, end + 1);
            if (::send(connection, answer_.data(), answer_.size(), MSG_NOSIGNAL) < 0) {
                return;
            }
        }
    }
}

std::optional<std::string> ExchangeSeqPacket(const std::filesystem::path& path,
                                             std::string_view packet,
                                             std::chrono::milliseconds limit) {
    sockaddr_un address{};
    if (!AddressOf(path, address)) {
        return std::nullopt;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> reply;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(packet.size())) {
        reply = ReceiveWithin(fd, limit);
    }
    ::close(fd);
    return reply;
}

}  // namespace ruzd::testing
