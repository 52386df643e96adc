#pragma once

// Helpers for the tests of the binary message stream.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "net/callback_output_stream.h"
#include "net/output_stream_socket.h"

namespace ruzd::net::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes BytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct SentFrame {
    Bytes bytes;
    std::string address;
    unsigned port = 0;
};

// A writer that keeps every frame it sends, and every line it logs.
class RecordingWriter : public CCallbackOutputStream {
public:
    RecordingWriter()
        : CCallbackOutputStream(
              [this](const uint8_t* frame, int length, const std::string& address, unsigned port) {
                  std::lock_guard lock(mutex_);
                  frames_.push_back({Bytes(frame, frame + length), address, port});
              }) {
        SetLogger([this](const std::string& line) {
            std::lock_guard lock(mutex_);
            log_.push_back(line);
        });
    }

    std::vector<SentFrame> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<SentFrame> frames_;
    std::vector<std::string> log_;
};

// The payload of a well-formed frame: length form and length, payload, 16-bit sum, end byte.
inline Bytes PayloadOf(const Bytes& frame) {
    if (frame.size() < 5) {
        ADD_FAILURE() << "frame of " << frame.size() << " bytes";
        return {};
    }
    const size_t form = frame[0];
    EXPECT_TRUE(form >= 1 && form <= 3);
    size_t n = 0;
    for (size_t i = 1; i <= form; ++i) {
        n = n * 256 + frame[i];
    }
    EXPECT_EQ(frame.size(), 1 + form + n + 3);
    if (frame.size() != 1 + form + n + 3) {
        return {};
    }
    Bytes payload(frame.begin() + 1 + form, frame.begin() + 1 + form + n);
    unsigned sum = 0;
    for (uint8_t b : payload) {
        sum = (sum + b) & 0xFFFF;
    }
    EXPECT_EQ(frame[1 + form + n], sum >> 8);
    EXPECT_EQ(frame[2 + form + n], sum & 0xFF);
    EXPECT_EQ(frame.back(), 0xFF);
    return payload;
}

// Writes one message and returns its payload.
inline Bytes Encode(const std::function<void(COutputStreamSocket&)>& write) {
    RecordingWriter writer;
    write(writer);
    EXPECT_TRUE(writer.Flush());
    const std::vector<SentFrame> frames = writer.frames();
    if (frames.size() != 1) {
        ADD_FAILURE() << frames.size() << " frames sent";
        return {};
    }
    return PayloadOf(frames[0].bytes);
}

}  // namespace ruzd::net::testing
