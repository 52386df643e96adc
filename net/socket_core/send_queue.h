#pragma once

// The bytes of a socket that the system could not take yet, as blocks in the order they must
// leave. A block may be shared: a frame sent to many connections is held once, by every queue it
// waits in. A block that went out in part stays at the head with what is left of it.

#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace ruzd::net {

// Bytes that may wait in the queues of several connections at once; never changed once made.
using SharedBytes = std::shared_ptr<const std::vector<uint8_t>>;

class SendQueue {
public:
    // The most blocks that one vectored write hands the system.
    static constexpr int kMaxWriteBlocks = 64;

    bool empty() const { return blocks_.empty(); }
    size_t blocks() const { return blocks_.size(); }
    size_t bytes() const { return bytes_; }
    // What is left of the head block.
    size_t front_size() const { return blocks_.empty() ? 0 : blocks_.front().Left(); }

    // A copy of the bytes.
    void PushBack(const uint8_t* data, size_t length);
    // The shared bytes themselves, from `offset` on.
    void PushBack(SharedBytes bytes, size_t offset = 0);
    void Clear();

    // Hands the blocks from the head to `write`, up to kMaxWriteBlocks of them at once as an
    // array of iovec (it returns what the system took, or -1 with `error` set), until the queue
    // is empty or a write does not go whole. The result is the errno of a failed write, else 0.
    template <typename WriteFunction>
    int Drain(const WriteFunction& write);

private:
    struct Block {
        SharedBytes bytes;
        size_t offset = 0;

        size_t Left() const { return bytes->size() - offset; }
    };

    // Drops `count` bytes from the head, whole blocks first.
    void Consume(size_t count);

    std::deque<Block> blocks_;
    size_t bytes_ = 0;
};

template <typename WriteFunction>
int SendQueue::Drain(const WriteFunction& write) {
    iovec vector[kMaxWriteBlocks];
    while (!blocks_.empty()) {
        int count = 0;
        size_t offered = 0;
        for (auto block = blocks_.begin(); block != blocks_.end() && count < kMaxWriteBlocks;
             ++block, ++count) {
            vector[count].iov_base = const_cast<uint8_t*>(block->bytes->data() + block->offset);
            vector[count].iov_len = block->Left();
            offered += block->Left();
        }
        int error = 0;
        const ssize_t written = write(static_cast<const iovec*>(vector), count, error);
        if (written <= 0) {
            return written < 0 ? error : 0;
        }
        Consume(static_cast<size_t>(written));
        if (static_cast<size_t>(written) < offered) {
            return 0;
        }
    }
    return 0;
}

}  // namespace ruzd::net
