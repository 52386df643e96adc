#include "telephony/audio_ring_buffer.h"

#include <algorithm>
#include <cstring>

#include "telephony/audio_stream.h"

namespace ruzd::telephony {

AudioRingBuffer::AudioRingBuffer(uint32_t capacity) : capacity_(capacity), data_(capacity, 0) {}

AudioRingBuffer::AudioRingBuffer(const AudioRingBuffer& other) : capacity_(other.capacity_) {
    std::lock_guard hold(other.lock_);
    fill_ = other.fill_;
    read_position_ = other.read_position_;
    write_position_ = other.write_position_;
    data_ = other.data_;
    read_notify_ = other.read_notify_;
    write_notify_ = other.write_notify_;
}

uint32_t AudioRingBuffer::Read(void* destination, uint32_t count) {
    AudioStream* notify = nullptr;
    {
        std::lock_guard hold(lock_);
        count = std::min(count, fill_);
        const uint32_t first = std::min(count, capacity_ - read_position_);
        auto* out = static_cast<uint8_t*>(destination);
        std::memcpy(out, data_.data() + read_position_, first);
        std::memcpy(out + first, data_.data(), count - first);
        read_position_ = (read_position_ + count) % capacity_;
        fill_ -= count;
        notify = read_notify_;
    }
    if (notify != nullptr && count > 0) {
        notify->OnDataRead(*this);
    }
    return count;
}

uint32_t AudioRingBuffer::Write(const void* source, uint32_t count) {
    AudioStream* notify = nullptr;
    {
        std::lock_guard hold(lock_);
        count = std::min(count, capacity_ - fill_);
        const uint32_t first = std::min(count, capacity_ - write_position_);
        const auto* in = static_cast<const uint8_t*>(source);
        std::memcpy(data_.data() + write_position_, in, first);
        std::memcpy(data_.data(), in + first, count - first);
        write_position_ = (write_position_ + count) % capacity_;
        fill_ += count;
        notify = write_notify_;
    }
    if (notify != nullptr && count > 0) {
        notify->OnDataWritten(*this);
    }
    return count;
}

uint32_t AudioRingBuffer::Fill() {
    std::lock_guard hold(lock_);
    return fill_;
}

uint32_t AudioRingBuffer::FreeSpace() {
    std::lock_guard hold(lock_);
    return capacity_ - fill_;
}

uint32_t AudioRingBuffer::ReadPosition() {
    std::lock_guard hold(lock_);
    return read_position_;
}

void AudioRingBuffer::Clear() {
    std::lock_guard hold(lock_);
    std::fill(data_.begin(), data_.end(), uint8_t{0});
    fill_ = 0;
    read_position_ = 0;
    write_position_ = 0;
}

void AudioRingBuffer::SetReadNotify(AudioStream* stream) {
    std::lock_guard hold(lock_);
    read_notify_ = stream;
}

void AudioRingBuffer::SetWriteNotify(AudioStream* stream) {
    std::lock_guard hold(lock_);
    write_notify_ = stream;
}

}  // namespace ruzd::telephony
