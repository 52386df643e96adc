#include "net/socket_core/send_queue.h"

namespace ruzd::net {

void SendQueue::PushBack(const uint8_t* data, size_t length) {
    PushBack(std::make_shared<const std::vector<uint8_t>>(data, data + length));
}

void SendQueue::PushBack(SharedBytes bytes, size_t offset) {
    if (offset >= bytes->size()) {
        return;
    }
    bytes_ += bytes->size() - offset;
    blocks_.push_back(Block{std::move(bytes), offset});
}

void SendQueue::Clear() {
    blocks_.clear();
    bytes_ = 0;
}

void SendQueue::Consume(size_t count) {
    bytes_ -= count;
    while (count > 0) {
        Block& head = blocks_.front();
        if (count < head.Left()) {
            head.offset += count;
            return;
        }
        count -= head.Left();
        blocks_.pop_front();
    }
}

}  // namespace ruzd::net
