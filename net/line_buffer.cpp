#include "net/line_buffer.h"

#include <algorithm>
#include <cstring>

namespace ruzd::net {

void LineBuffer::Consume(size_t count) {
    start_ += std::min(count, Size());
    if (start_ == end_) {
        Clear();
    }
}

void LineBuffer::Erase(size_t offset, size_t count) {
    if (offset >= Size()) {
        return;
    }
    count = std::min(count, Size() - offset);
    const size_t behind = Size() - offset - count;
    uint8_t* front = bytes_.data() + start_;
    if (offset <= behind) {
        // Typically a line before a piece of data taken from behind it: the line moves up.
        std::memmove(front + count, front, offset);
        start_ += count;
    } else {
        std::memmove(front + offset, front + offset + count, behind);
        end_ -= count;
    }
    if (start_ == end_) {
        Clear();
    }
}

uint8_t* LineBuffer::Room(size_t minimum, size_t growth) {
    if (RoomSize() < minimum && start_ > 0) {
        std::memmove(bytes_.data(), bytes_.data() + start_, Size());
        end_ -= start_;
        start_ = 0;
    }
    if (RoomSize() < minimum) {
        bytes_.resize(end_ + std::max(minimum, growth));
    }
    return bytes_.data() + end_;
}

void LineBuffer::Append(const uint8_t* data, size_t length) {
    if (length == 0) {
        return;
    }
    std::memcpy(Room(length, length), data, length);
    Commit(length);
}

}  // namespace ruzd::net
