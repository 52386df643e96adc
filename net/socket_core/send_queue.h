#pragma once

// The bytes of a socket that the system could not take yet, as blocks in the order they must
// leave. A block that went out in part is replaced at the head by a block of its unsent rest.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace ruzd::net {

// One queued block of outgoing bytes.
struct CSockType {
    std::vector<uint8_t> data;
};

class SendQueue {
public:
    bool empty() const { return blocks_.empty(); }
    size_t blocks() const { return blocks_.size(); }
    size_t bytes() const { return bytes_; }
    size_t front_size() const { return blocks_.empty() ? 0 : blocks_.front().data.size(); }

    void PushBack(const uint8_t* data, size_t length);
    void PushFront(const uint8_t* data, size_t length);
    void Clear();

    // Hands the blocks from the head to `send` (which returns what the system took, or -1)
    // until one does not go whole. The result is the errno of a failed send, else 0.
    template <typename SendFunction>
    int Drain(const SendFunction& send);

private:
    std::deque<CSockType> blocks_;
    size_t bytes_ = 0;
};

template <typename SendFunction>
int SendQueue::Drain(const SendFunction& send) {
    while (!blocks_.empty()) {
        std::vector<uint8_t>& head = blocks_.front().data;
        int error = 0;
        const ssize_t sent = send(head.data(), head.size(), error);
        if (sent == static_cast<ssize_t>(head.size())) {
            bytes_ -= head.size();
            blocks_.pop_front();
            continue;
        }
        if (sent > 0) {
            CSockType rest{std::vector<uint8_t>(head.begin() + sent, head.end())};
            bytes_ -= static_cast<size_t>(sent);
            blocks_.front() = std::move(rest);
            return 0;
        }
        return error;
    }
    return 0;
}

}  // namespace ruzd::net
