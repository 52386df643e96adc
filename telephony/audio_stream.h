#pragma once

// A stream that moves audio into or out of a ring buffer: a source fills it, a target drains
// it. The buffer tells a stream after each read or write it is registered for, so that work
// is done as soon as there is something to do.

#include <cstdint>

namespace ruzd::telephony {

class AudioRingBuffer;

class AudioStream {
public:
    explicit AudioStream(AudioRingBuffer* buffer) : buffer_(buffer) {}
    virtual ~AudioStream() = default;
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // Each returns 0 on success, -1 on failure.
    virtual int32_t Open() = 0;
    virtual int32_t Close() = 0;
    virtual int32_t Start() = 0;
    virtual int32_t Stop() = 0;
    // Called by the buffer, outside its lock, after bytes were read from or written into it.
    virtual void OnDataRead(AudioRingBuffer& /*buffer*/) {}
    virtual void OnDataWritten(AudioRingBuffer& /*buffer*/) {}

protected:
    AudioRingBuffer* buffer() const { return buffer_; }

private:
    AudioRingBuffer* const buffer_;  // not owned
};

}  // namespace ruzd::telephony
