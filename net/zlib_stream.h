#pragma once

// One direction of a compressed connection: a single zlib stream that lives as long as the
// connection. Each message is sync-flushed, so the peer can inflate it whole as soon as it
// arrives, and the stream is never finished.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace ruzd::net {

class DeflateStream {
public:
    DeflateStream() = default;
    ~DeflateStream();
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    // A new stream (an old one is ended first); `level` as zlib's, -1 the default.
    bool Init(int level = Z_DEFAULT_COMPRESSION);
    void End();
    bool IsOpen() const { return open_; }

    // Compresses `length` bytes and sync-flushes them, appending the output to `out`, however
    // large it turns out. False on a zlib failure (or without a stream); `out` then holds
    // whatever it held before.
    bool Compress(const uint8_t* data, size_t length, std::vector<uint8_t>& out);

    uint64_t TotalIn() const { return open_ ? stream_.total_in : 0; }
    uint64_t TotalOut() const { return open_ ? stream_.total_out : 0; }

private:
    z_stream stream_{};
    bool open_ = false;
};

class InflateStream {
public:
    InflateStream() = default;
    ~InflateStream();
    InflateStream(const InflateStream&) = delete;
    InflateStream& operator=(const InflateStream&) = delete;

    bool Init();
    void End();
    bool IsOpen() const { return open_; }

    // Inflates all of `length` bytes, appending what they yield to `out` (possibly nothing,
    // when they end inside a deflate block). False on corrupt data (or without a stream), and
    // when they yield more than `limit` bytes (then `out` grew by more than `limit`); what was
    // appended before the failure stays.
    bool Decompress(const uint8_t* data, size_t length, std::vector<uint8_t>& out,
                    size_t limit = SIZE_MAX);

    // The same a bounded piece at a time, for input that may yield far more than anyone wants
    // to hold: `length` bytes become the input (they must stay where they are until they are
    // used up), and each Inflate gives up to `room` bytes of what they yield, 0 once they yield
    // nothing more. None on corrupt data (or without a stream).
    void SetInput(const uint8_t* data, size_t length);
    std::optional<size_t> Inflate(uint8_t* out, size_t room);

    uint64_t TotalIn() const { return open_ ? stream_.total_in : 0; }
    uint64_t TotalOut() const { return open_ ? stream_.total_out : 0; }

private:
    // Input beyond what zlib's 32-bit count took so far.
    size_t InputLeft() const { return stream_.avail_in + input_beyond_; }

    z_stream stream_{};
    bool open_ = false;
    const uint8_t* input_next_ = nullptr;
    size_t input_beyond_ = 0;
};

}  // namespace ruzd::net
