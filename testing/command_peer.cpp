#include "testing/command_peer.h"

#include <utility>

#include "net/input_stream_socket.h"

namespace ruzd::testing {
namespace {

constexpr int32_t kKeepAliveEcho = 1;
constexpr int32_t kCnInit = 11;
constexpr int32_t kCnPing = 12;
constexpr int32_t kDxOpen = 45;
constexpr int32_t kNoSuchCommand = 30000;

}  // namespace

std::vector<uint8_t> MessageFrame(int32_t code, const ValueWriter& write) {
    std::vector<uint8_t> frame;
    net::CCallbackOutputStream writer([&frame](const uint8_t* bytes, int length, const std::string&,
                                               unsigned) { frame.assign(bytes, bytes + length); });
    writer.BeginMessage(code);
    if (write) {
        write(writer);
    }
    writer.Flush();
    return frame;
}

Payload MessagePayload(int32_t code, const ValueWriter& write) {
    const std::vector<uint8_t> frame = MessageFrame(code, write);
    Payload payload;
    net::CFrameCutter cutter(net::CFrameCutter::Side::kClient);
    cutter.Append(frame.data(), frame.size(), [&payload](const uint8_t* bytes, int length) {
        payload.assign(bytes, bytes + length);
    });
    return payload;
}

std::vector<int32_t> LeadingInts(const Payload& payload, size_t count) {
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

std::vector<uint8_t> ValidCommandFrames() {
    std::vector<uint8_t> frames;
    for (int32_t id = 0; frames.size() < (size_t{64} << 10); ++id) {
        const int32_t code = id % 3 == 0 ? kCnPing : id % 3 == 1 ? kDxOpen : kNoSuchCommand;
        const std::vector<uint8_t> frame =
            MessageFrame(code, [id](net::COutputStreamSocket& writer) {
                writer.WriteInt(id).WriteInt(1).WriteInt(1).WriteInt(1);
            });
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

CommandPeer::CommandPeer(unsigned port, const std::function<bool()>& gave_up)
    : CommandPeer(RawConnection::ConnectWhenListening(port, kPatience, gave_up)) {}

CommandPeer::CommandPeer(RawConnection connection)
    : connection_(std::move(connection)),
      writer_([this](const uint8_t* frame, int length, const std::string&, unsigned) {
          sent_bytes_ += static_cast<uint64_t>(length);
          connection_.SendAll(frame, static_cast<size_t>(length));
      }) {
    // A command sent right after another leaves at once, as from the central server, rather than
    // waiting for the node's delayed acknowledgement of the first (some 40 ms each).
    connection_.SendAtOnce();
}

void CommandPeer::Send(int32_t code, int32_t id, const ValueWriter& write) {
    writer_.BeginMessage(code).WriteInt(id);
    if (write) {
        write(writer_);
    }
    writer_.Flush();
}

void CommandPeer::SendInts(int32_t code, int32_t id, const std::vector<int32_t>& values) {
    Send(code, id, [&values](net::COutputStreamSocket& writer) {
        for (int32_t value : values) {
            writer.WriteInt(value);
        }
    });
}

void CommandPeer::SendInit(int32_t id, const std::string& host, int32_t level) {
    Send(kCnInit, id, [&](net::COutputStreamSocket& writer) {
        writer.WriteInt(0).WriteString(host).WriteInt(level);
    });
}

std::optional<Payload> CommandPeer::Receive(std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (payloads_.empty()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        const std::vector<uint8_t> chunk = connection_.ReadSome(left, 4096);
        if (chunk.empty()) {
            return std::nullopt;
        }
        cutter_.Append(chunk.data(), chunk.size(), [this](const uint8_t* payload, int length) {
            payloads_.emplace_back(payload, payload + length);
        });
    }
    Payload first = std::move(payloads_.front());
    payloads_.pop_front();
    return first;
}

void CommandPeer::Unread(const std::vector<Payload>& messages) {
    payloads_.insert(payloads_.begin(), messages.begin(), messages.end());
}

std::optional<std::vector<int32_t>> CommandPeer::ReceiveInts(std::chrono::milliseconds patience) {
    const std::optional<Payload> payload = Receive(patience);
    if (!payload) {
        return std::nullopt;
    }
    return LeadingInts(*payload);
}

std::optional<Payload> CommandPeer::ReceiveCode(int32_t code, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        std::optional<Payload> payload = Receive(left);
        if (!payload || LeadingInts(*payload, 1) == std::vector<int32_t>{code}) {
            return payload;
        }
    }
}

bool CommandPeer::AwaitCommandsAccepted(const std::function<bool()>& gave_up) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    for (int32_t attempt = 0; std::chrono::steady_clock::now() < deadline; ++attempt) {
        if (gave_up && gave_up()) {
            return false;
        }
        SendInts(kCnPing, 100 + attempt, {attempt});
        std::optional<Payload> echo = ReceiveCode(kKeepAliveEcho, std::chrono::milliseconds(500));
        // The keep-alives sent after the one answered are answered too: their echoes are taken
        // here, so that none of them comes when the caller waits for the answer to its next
        // command.
        while (echo) {
            const std::vector<int32_t> values = LeadingInts(*echo, 2);
            if (values.size() == 2 && values[1] == attempt) {
                return true;
            }
            echo = ReceiveCode(kKeepAliveEcho);
        }
    }
    return false;
}

}  // namespace ruzd::testing
