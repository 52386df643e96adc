#pragma once

// The received bytes of a text connection that wait to be cut into lines. A line is taken from
// the front by moving the start position, never by moving what follows it, so that a chunk of
// many short lines costs what its bytes cost and not its lines times its bytes. What still waits
// is moved to the front only when the room behind it runs out.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruzd::net {

class LineBuffer {
public:
    explicit LineBuffer(size_t capacity) : bytes_(capacity) {}

    const uint8_t* Data() const { return bytes_.data() + start_; }
    size_t Size() const { return end_ - start_; }

    // Drops `count` bytes from the front (all of them when fewer wait).
    void Consume(size_t count);
    // Drops `count` bytes that begin `offset` bytes after the front (as many as there are),
    // moving the shorter of the two sides around them.
    void Erase(size_t offset, size_t count);
    void Clear() { start_ = end_ = 0; }

    // Room for at least `minimum` bytes behind what waits: its start. Grows by `growth` at
    // least when it must grow.
    uint8_t* Room(size_t minimum, size_t growth);
    size_t RoomSize() const { return bytes_.size() - end_; }
    // `count` bytes were written into the room.
    void Commit(size_t count) { end_ += count; }
    void Append(const uint8_t* data, size_t length);

private:
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
    size_t end_ = 0;
};

}  // namespace ruzd::net
