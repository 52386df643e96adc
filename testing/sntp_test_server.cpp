#include "testing/sntp_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace ruzd::testing {
namespace {

constexpr uint64_t kUnixToNtp = 2208988800ULL;

void PutTimestamp(uint8_t* at, std::chrono::system_clock::time_point time) {
    const auto since =
        std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    const uint32_t seconds = static_cast<uint32_t>(static_cast<uint64_t>(since) + kUnixToNtp);
    const uint32_t big = htonl(seconds);
    std::memcpy(at, &big, 4);
    std::memset(at + 4, 0, 4);
}

}  // namespace

std::chrono::system_clock::time_point SntpTestServer::DefaultTime() {
    return std::chrono::system_clock::time_point(std::chrono::seconds(1893456000));
}

SntpTestServer::SntpTestServer(Behaviour behaviour, std::chrono::system_clock::time_point time)
    : behaviour_(behaviour), time_(time) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::pipe2(stop_pipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("test time server cannot start");
    }
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
}

SntpTestServer::~SntpTestServer() {
    const char stop = 1;
    (void)::write(stop_pipe_[1], &stop, 1);
    thread_.join();
    ::close(fd_);
    ::close(stop_pipe_[0]);
    ::close(stop_pipe_[1]);
}

void SntpTestServer::Serve() {
    bool strayDone = false;
    for (;;) {
        pollfd entries[2] = {{fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
        if (::poll(entries, 2, -1) <= 0) {
            continue;
        }
        if (entries[1].revents != 0) {
            return;
        }
        uint8_t request[48];
        sockaddr_storage from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got = ::recvfrom(fd_, request, sizeof request, 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got != 48) {
            continue;
        }
        ++requests_;
        if (behaviour_ == Behaviour::kSilent) {
            continue;
        }
        uint8_t answer[48] = {};
        answer[0] = (4 << 3) | 4;  // no leap warning, version 4, server
        answer[1] = behaviour_ == Behaviour::kKissOfDeath ? 0 : 2;
        std::memcpy(answer + 24, request + 40, 8);  // originate := the request's transmit time
        PutTimestamp(answer + 32, time_);
        PutTimestamp(answer + 40, time_);
        const auto send = [&](const uint8_t* packet) {
            ::sendto(fd_, packet, 48, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        };
        if (behaviour_ == Behaviour::kWrongOriginate ||
            (behaviour_ == Behaviour::kStrayThenAnswer && !strayDone)) {
            uint8_t stray[48];
            std::memcpy(stray, answer, 48);
            stray[31] ^= 0x5A;
            // A stray answer claims another time, so that believing it shows.
            PutTimestamp(stray + 40, time_ + std::chrono::hours(24 * 365));
            send(stray);
            strayDone = true;
            if (behaviour_ == Behaviour::kWrongOriginate) {
                continue;
            }
        }
        send(answer);
    }
}

}  // namespace ruzd::testing
