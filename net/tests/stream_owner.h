#pragma once

// Helpers for the stream socket thread tests: frames built by hand or by the writer, a raw-side
// frame reader, and an owner that records what it is handed.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/client_stream_socket.h"
#include "net/frame_cutter.h"
#include "net/stream_socket_callback.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"

namespace ruzd::net::testing {

// The raw far ends and the waits of the socket tests.
using namespace ruzd::testing;

using Bytes = std::vector<uint8_t>;

// A frame around any payload.
inline Bytes FrameOf(const Bytes& payload) {
    Bytes frame;
    const size_t n = payload.size();
    if (n < 256) {
        frame = {1, static_cast<uint8_t>(n)};
    } else if (n < 65536) {
        frame = {2, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
    } else {
        frame = {3, static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8),
                 static_cast<uint8_t>(n)};
    }
    uint32_t sum = 0;
    for (uint8_t byte : payload) {
        sum += byte;
    }
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(static_cast<uint8_t>(sum >> 8));
    frame.push_back(static_cast<uint8_t>(sum));
    frame.push_back(0xFF);
    return frame;
}

// The frame the writer makes of a message.
inline Bytes Encode(const std::function<void(COutputStreamSocket&)>& write) {
    Bytes frame;
    CCallbackOutputStream writer(
        [&](const uint8_t* bytes, int length, const std::string&, unsigned) {
            frame.insert(frame.end(), bytes, bytes + length);
        });
    write(writer);
    writer.Flush();
    return frame;
}

// A message of one or two values: a code, and text when given.
inline Bytes Message(int32_t code, const std::string& text = {}) {
    return Encode([&](COutputStreamSocket& writer) {
        writer.BeginMessage(code);
        if (!text.empty()) {
            writer.WriteString(text);
        }
    });
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// What a message read back from the raw side holds.
struct Decoded {
    int32_t code = 0;
    std::string text;
    bool ok = false;
};

inline Decoded Decode(const uint8_t* payload, int length) {
    CInputStreamSocket reader(payload, length);
    Decoded decoded;
    reader.ReadInt(decoded.code);
    if (reader.HasMoreData()) {
        reader.ReadString(decoded.text);
    }
    decoded.ok = reader.IsOk() && !reader.HasMoreData();
    return decoded;
}

// Reads whole frames from a raw connection, as the far end of a stream socket thread would.
class FrameReader {
public:
    explicit FrameReader(RawConnection& connection,
                         CFrameCutter::Side side = CFrameCutter::Side::kClient)
        : connection_(connection), cutter_(side) {}

    // The next `count` messages; fewer when the connection ends or nothing comes in time.
    std::vector<Decoded> Next(size_t count) {
        while (pending_.size() < count) {
            auto chunk = connection_.ReadSome();
            if (chunk.empty()) {
                break;
            }
            cutter_.Append(chunk.data(), chunk.size(), [this](const uint8_t* payload, int length) {
                pending_.push_back(Decode(payload, length));
            });
        }
        const size_t taken = std::min(count, pending_.size());
        std::vector<Decoded> result(pending_.begin(), pending_.begin() + taken);
        pending_.erase(pending_.begin(), pending_.begin() + taken);
        return result;
    }

private:
    RawConnection& connection_;
    CFrameCutter cutter_;
    std::vector<Decoded> pending_;
};

// Waits until the socket's received bytes have all been taken by its thread.
inline bool Drained(int fd) {
    return Eventually([fd] { return ruzd::testing::UnreadBytes(fd) == 0; });
}

class StreamOwner : public CStreamSocketCallback {
public:
    struct Received {
        uint64_t connection = 0;
        int length = 0;
        Decoded message;
    };
    struct Closed {
        std::string address;
        unsigned port = 0;
        int error = 0;
        uint64_t connection = 0;
    };

    // Runs inside OnSocketReceiveInfo before the message is recorded.
    std::function<void(CClientStreamSocket& message, const Decoded& decoded)> on_message;

    void OnSocketReceiveInfo(CClientStreamSocket* message) override {
        Received received;
        received.connection = message->ConnectionSerial();
        received.length = message->Length();
        CInputStreamSocket& reader = *message;
        reader.ReadInt(received.message.code);
        if (reader.HasMoreData()) {
            reader.ReadString(received.message.text);
        }
        received.message.ok = reader.IsOk();
        if (on_message) {
            on_message(*message, received.message);
        }
        std::lock_guard guard(lock_);
        received_.push_back(received);
        changed_.notify_all();
    }

    void OnSocketClose(const std::string& address, unsigned port, int error,
                       uint64_t connection) override {
        std::lock_guard guard(lock_);
        closed_.push_back({address, port, error, connection});
        changed_.notify_all();
    }

    bool WaitForMessages(size_t count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kPatience, [&] { return received_.size() >= count; });
    }
    bool WaitForCloses(size_t count) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, kPatience, [&] { return closed_.size() >= count; });
    }
    std::vector<Received> Messages() {
        std::lock_guard guard(lock_);
        return received_;
    }
    std::vector<Closed> Closes() {
        std::lock_guard guard(lock_);
        return closed_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Received> received_;
    std::vector<Closed> closed_;
};

}  // namespace ruzd::net::testing
