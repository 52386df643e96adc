#pragma once

// The central server's command connection for tests that compare what the node sends byte for
// byte: commands carry any typed values, and what comes back is kept as raw message payloads,
// to be compared with the payload the stream writer makes of the values expected.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "node/tests/central_peer.h"

namespace ruzd::node::testing {

using Payload = std::vector<uint8_t>;
using ValueWriter = std::function<void(net::COutputStreamSocket& writer)>;

// The payload of one message whose first value is `code`, followed by what `write` adds.
inline Payload MessagePayload(int32_t code, const ValueWriter& write = {}) {
    std::vector<uint8_t> frame;
    net::CCallbackOutputStream writer([&frame](const uint8_t* bytes, int length, const std::string&,
                                               unsigned) { frame.assign(bytes, bytes + length); });
    writer.BeginMessage(code);
    if (write) {
        write(writer);
    }
    writer.Flush();
    Payload payload;
    net::CFrameCutter cutter(net::CFrameCutter::Side::kClient);
    cutter.Append(frame.data(), frame.size(), [&payload](const uint8_t* bytes, int length) {
        payload.assign(bytes, bytes + length);
    });
    return payload;
}

// The leading integers of a payload, as far as they go.
inline std::vector<int32_t> LeadingInts(const Payload& payload, size_t count) {
    net::CInputStreamSocket reader(payload.data(), static_cast<int>(payload.size()));
    std::vector<int32_t> values;
    while (values.size() < count && reader.HasMoreData()) {
        int32_t value = 0;
        reader.ReadInt(value);
        if (!reader.IsOk()) {
            break;
        }
        values.push_back(value);
    }
    return values;
}

class CommandPeer {
public:
    // Connects to 127.0.0.1:`port`, retrying for a while as the node may still be starting.
    explicit CommandPeer(int port) : fd_(ConnectToLoopback(port)) {}
    ~CommandPeer() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    CommandPeer(const CommandPeer&) = delete;
    CommandPeer& operator=(const CommandPeer&) = delete;

    bool IsConnected() const { return fd_ >= 0; }

    // One command: its code, its id, then what `write` adds.
    void Send(int32_t code, int32_t id, const ValueWriter& write = {}) {
        writer_.BeginMessage(code).WriteInt(id);
        if (write) {
            write(writer_);
        }
        writer_.Flush();
    }
    // A command whose parameters are all integers.
    void SendInts(int32_t code, int32_t id, const std::vector<int32_t>& values) {
        Send(code, id, [&values](net::COutputStreamSocket& writer) {
            for (int32_t value : values) {
                writer.WriteInt(value);
            }
        });
    }

    // The next message's payload; none when nothing came in time or the connection closed.
    std::optional<Payload> Receive(std::chrono::milliseconds patience = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (payloads_.empty()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
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
                               payloads_.emplace_back(payload, payload + length);
                           });
        }
        Payload first = std::move(payloads_.front());
        payloads_.pop_front();
        return first;
    }

    // The next message whose code is `code`, skipping the others; none when none came in time.
    std::optional<Payload> ReceiveCode(
        int32_t code, std::chrono::milliseconds patience = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            std::optional<Payload> payload = Receive(left);
            if (!payload) {
                return std::nullopt;
            }
            const std::vector<int32_t> first = LeadingInts(*payload, 1);
            if (!first.empty() && first[0] == code) {
                return payload;
            }
        }
    }

private:
    int fd_ = -1;
    net::CCallbackOutputStream writer_{
        [this](const uint8_t* frame, int length, const std::string&, unsigned) {
            ::send(fd_, frame, static_cast<size_t>(length), MSG_NOSIGNAL);
        }};
    net::CFrameCutter cutter_{net::CFrameCutter::Side::kClient};
    std::deque<Payload> payloads_;
};

}  // namespace ruzd::node::testing
