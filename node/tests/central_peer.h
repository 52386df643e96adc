#pragma once

// A plain TCP peer that plays the central server on the node's command port: it sends framed
// commands and reads what the node sends back.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"

namespace ruzd::node::testing {

using Clock = std::chrono::steady_clock;
inline constexpr auto kPatience = std::chrono::seconds(60);

// A free port on the loopback address, as the system hands one out.
inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A socket connected to 127.0.0.1:`port`, retrying while the node is starting, for at most the
// patience or until `gaveUp` holds; -1 when no connection came about.
inline int ConnectToLoopback(
    int port, const std::function<bool()>& gaveUp = [] { return false; }) {
    const auto deadline = Clock::now() + kPatience;
    while (Clock::now() < deadline && !gaveUp()) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return -1;
}

// A connection to the node's command port that sends commands and reads what comes back.
class CentralPeer {
public:
    // Connects, retrying while the node is starting; IsConnected tells whether it worked.
    // `gaveUp` ends the retries early, as when the node's process ended.
    explicit CentralPeer(
        int port, const std::function<bool()>& gaveUp = [] { return false; }) {
        fd_ = ConnectToLoopback(port, gaveUp);
    }
    ~CentralPeer() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    bool IsConnected() const { return fd_ >= 0; }

    // A command: its code, its id and its integer parameters.
    void Send(int32_t code, int32_t id, std::vector<int32_t> values = {}) {
        writer_.BeginMessage(code).WriteInt(id);
        for (int32_t value : values) {
            writer_.WriteInt(value);
        }
        writer_.Flush();
    }

    // A command whose parameters `fields` writes after the code and the id.
    void SendWith(int32_t code, int32_t id,
                  const std::function<void(net::COutputStreamSocket&)>& fields) {
        writer_.BeginMessage(code).WriteInt(id);
        fields(writer_);
        writer_.Flush();
    }

    // The next message's integers (its code first); none when nothing came in time or the
    // connection closed. Reading stops at the first value that is no integer.
    std::optional<std::vector<int32_t>> Receive(std::chrono::milliseconds patience = kPatience) {
        const auto payload = ReceivePayload(patience);
        if (!payload) {
            return std::nullopt;
        }
        net::CInputStreamSocket reader(payload->data(), static_cast<int>(payload->size()));
        std::vector<int32_t> values;
        while (reader.HasMoreData()) {
            int32_t value = 0;
            reader.ReadInt(value);
            if (!reader.IsOk()) {
                break;
            }
            values.push_back(value);
        }
        return values;
    }

    // The next message's payload as it came, for messages that carry more than integers.
    std::optional<std::vector<uint8_t>> ReceivePayload(
        std::chrono::milliseconds patience = kPatience) {
        const auto deadline = Clock::now() + patience;
        while (messages_.empty()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            uint8_t buffer[4096];
            const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
            if (count <= 0) {
                return std::nullopt;
            }
            cutter_.Append(buffer, static_cast<size_t>(count),
                           [this](const uint8_t* payload, int length) {
                               messages_.emplace_back(payload, payload + length);
                           });
        }
        std::vector<uint8_t> first = std::move(messages_.front());
        messages_.erase(messages_.begin());
        return first;
    }

    // Whether the node closed the connection (within `patience`).
    bool ClosedByNode(std::chrono::milliseconds patience) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(patience.count())) <= 0) {
            return false;
        }
        uint8_t byte = 0;
        return ::recv(fd_, &byte, 1, MSG_PEEK) == 0;
    }

private:
    int fd_ = -1;
    net::CCallbackOutputStream writer_{
        [this](const uint8_t* frame, int length, const std::string&, unsigned) {
            ::send(fd_, frame, static_cast<size_t>(length), MSG_NOSIGNAL);
        }};
    net::CFrameCutter cutter_{net::CFrameCutter::Side::kClient};
    std::vector<std::vector<uint8_t>> messages_;
};

}  // namespace ruzd::node::testing
