#pragma once

// A byte ring of fixed capacity between one writer and one reader on different threads. The
// fill changes once per read or write, also when the copy wraps, so the other side never sees
// half of it; the stream told of a read or write is told after the lock is released, so that
// it may read or write the buffer again from there.

#include <cstdint>
#include <mutex>
#include <vector>

namespace ruzd::telephony {

class AudioStream;

class AudioRingBuffer {
public:
    explicit AudioRingBuffer(uint32_t capacity);
    // A copy of every field and of the bytes, with a lock of its own.
    AudioRingBuffer(const AudioRingBuffer& other);
    AudioRingBuffer& operator=(const AudioRingBuffer&) = delete;

    // Bytes read into `destination`: at most `count`, at most what is held.
    uint32_t Read(void* destination, uint32_t count);
    // Bytes written from `source`: at most `count`, at most the free space.
    uint32_t Write(const void* source, uint32_t count);

    uint32_t Fill();
    uint32_t FreeSpace();
    uint32_t capacity() const { return capacity_; }
    uint32_t ReadPosition();
    // Zero bytes, fill and positions.
    void Clear();

    void SetReadNotify(AudioStream* stream);
    void SetWriteNotify(AudioStream* stream);

private:
    const uint32_t capacity_;
    uint32_t fill_ = 0;
    uint32_t read_position_ = 0;
    uint32_t write_position_ = 0;
    std::vector<uint8_t> data_;
    mutable std::mutex lock_;
    AudioStream* read_notify_ = nullptr;   // not owned
    AudioStream* write_notify_ = nullptr;  // not owned
};

}  // namespace ruzd::telephony
