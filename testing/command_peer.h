#pragma once

// The central server's connection to the node's command port, on a real TCP port: it sends
// commands as the binary frames of the port and keeps what comes back as raw message payloads,
// to be compared with the payload the stream writer makes of the values expected.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "testing/loopback_socket.h"

namespace ruzd::testing {

using Payload = std::vector<uint8_t>;
using ValueWriter = std::function<void(net::COutputStreamSocket& writer)>;

// The whole frame of one message whose first value is `code`, followed by what `write` adds.
std::vector<uint8_t> MessageFrame(int32_t code, const ValueWriter& write = {});
// The same message's payload.
Payload MessagePayload(int32_t code, const ValueWriter& write = {});

// The leading integers of a payload, as far as they go (at most `count`).
std::vector<int32_t> LeadingInts(const Payload& payload, size_t count = SIZE_MAX);

// Some 64 KB of whole frames of valid commands, as a stranger that knows the protocol sends them
// (testing/busy_strangers.h): keep-alives, opens of a voice channel and a code the node does not
// know, each with its id and a few integers.
std::vector<uint8_t> ValidCommandFrames();

class CommandPeer {
public:
    // Connects, retrying while the node is starting; IsConnected tells whether it worked.
    // `gave_up` ends the retries early, as when the node's process ended.
    explicit CommandPeer(unsigned port, const std::function<bool()>& gave_up = {});
    // Over a connection made already.
    explicit CommandPeer(RawConnection connection);
    CommandPeer(const CommandPeer&) = delete;
    CommandPeer& operator=(const CommandPeer&) = delete;

    bool IsConnected() const { return connection_.valid(); }

    // One command: its code, its id, then what `write` adds.
    void Send(int32_t code, int32_t id, const ValueWriter& write = {});
    // A command whose parameters are all integers.
    void SendInts(int32_t code, int32_t id, const std::vector<int32_t>& values);
    // CNINIT, which makes this connection the active one once the file connection is
    // authorised: the central server's host (its clock is asked) and its protocol level.
    void SendInit(int32_t id, const std::string& host = "127.0.0.1", int32_t level = 12);

    // The next message's payload; none when nothing came in time or the connection closed.
    std::optional<Payload> Receive(std::chrono::milliseconds patience = kPatience);
    // The next message's integers (its code first), up to the first value that is none.
    std::optional<std::vector<int32_t>> ReceiveInts(std::chrono::milliseconds patience = kPatience);
    // Puts messages back in front of those still to be read, in their order.
    void Unread(const std::vector<Payload>& messages);
    // The next message whose code is `code`, skipping the others; none when none came in time.
    std::optional<Payload> ReceiveCode(int32_t code,
                                       std::chrono::milliseconds patience = kPatience);

    // Sends keep-alives until one is answered: the node drops every command without a word
    // until its start-up delay has passed. Returns once the last one sent is answered, so that
    // no echo of its is still to come. False when none was answered within the patience or
    // `gave_up` held.
    bool AwaitCommandsAccepted(const std::function<bool()>& gave_up = {});

    // The bytes sent so far, frames and all.
    uint64_t SentBytes() const { return sent_bytes_; }

    // Whether the node closed the connection (within `patience`).
    bool ClosedByNode(std::chrono::milliseconds patience) {
        return connection_.ClosedWithin(patience);
    }

private:
    RawConnection connection_;
    uint64_t sent_bytes_ = 0;
    net::CCallbackOutputStream writer_;
    net::CFrameCutter cutter_{net::CFrameCutter::Side::kClient};
    std::deque<Payload> payloads_;
};

}  // namespace ruzd::testing
