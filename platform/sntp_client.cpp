#include "platform/sntp_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/sntp_packet.h"
#include "platform/text.h"

namespace ruzd::platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A datagram socket connected to the first address of the host, so that the kernel passes on
// only what that address sends; -1 with the reason in `error`.
int ConnectTo(const std::string& host, uint16_t port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int failure = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (failure != 0) {
        error = Format("cannot resolve %s: %s", host.c_str(), ::gai_strerror(failure));
        return -1;
    }
    int fd = -1;
    int lastErrno = 0;
    for (addrinfo* entry = found; entry != nullptr && fd < 0; entry = entry->ai_next) {
        fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
        if (fd < 0) {
            lastErrno = errno;
            continue;
        }
        if (::connect(fd, entry->ai_addr, entry->ai_addrlen) != 0) {
            lastErrno = errno;
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd < 0) {
        error = Format("cannot reach %s: %s", host.c_str(), std::strerror(lastErrno));
    }
    return fd;
}

}  // namespace

std::optional<uint16_t> SntpPortFromEnvironment() {
    const char* text = std::getenv(kSntpPortVariable);
    if (text == nullptr) {
        return kSntpPort;
    }
    if (*text < '0' || *text > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

SntpClient::SntpClient(std::string host, uint16_t port, const Clock& clock)
    : host_(std::move(host)), port_(port), clock_(clock) {}

SntpResult SntpClient::Query(std::chrono::milliseconds patience,
                             std::chrono::milliseconds resendInterval) const {
    SntpResult result;
    Socket socket(ConnectTo(host_, port_, result.error));
    if (socket.get() < 0) {
        return result;
    }
    const auto deadline = SteadyClock::now() + patience;
    // Every request carries its own send time, so an answer names the request it answers.
    std::vector<std::pair<uint64_t, WallTime>> sent;
    auto nextSend = SteadyClock::now();
    while (true) {
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            break;
        }
        if (now >= nextSend) {
            WallTime sendTime = clock_.Now();
            // Two requests within one tick of the clock would be told apart by nothing.
            if (!sent.empty() && ToNtpTimestamp(sendTime) <= sent.back().first) {
                sendTime = FromNtpTimestamp(sent.back().first + 1);
            }
            const SntpPacket request = MakeSntpRequest(sendTime);
            // A failed send (no route yet, a refusal reported by an earlier send) is tried again
            // at the next interval.
            (void)::send(socket.get(), request.data(), request.size(), MSG_NOSIGNAL);
            sent.emplace_back(ToNtpTimestamp(sendTime), sendTime);
            nextSend = now + resendInterval;
        }
        const auto wake = std::min(deadline, nextSend);
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(wake - SteadyClock::now()).count();
        pollfd readable{socket.get(), POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(std::max<int64_t>(wait, 0))) <= 0) {
            continue;
        }
        uint8_t packet[512];
        const ssize_t got = ::recv(socket.get(), packet, sizeof packet, MSG_DONTWAIT);
        const WallTime received = clock_.Now();
        if (got <= 0) {
            continue;
        }
        for (const auto& [timestamp, sendTime] : sent) {
            const std::optional<SntpReply> reply = ParseSntpReply(
                std::span<const uint8_t>(packet, static_cast<size_t>(got)), timestamp);
            if (reply) {
                result.time = SntpTime{reply->transmitTime,
                                       SntpClockOffset(sendTime, *reply, received), reply->stratum};
                return result;
            }
        }
    }
    result.error = Format("no answer from %s within %lld ms", host_.c_str(),
                          static_cast<long long>(patience.count()));
    return result;
}

}  // namespace ruzd::platform
