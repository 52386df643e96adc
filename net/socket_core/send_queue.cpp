#include "net/socket_core/send_queue.h"

namespace ruzd::net {

void SendQueue::PushBack(const uint8_t* data, size_t length) {
    blocks_.push_back(CSockType{std::vector<uint8_t>(data, data + length)});
    bytes_ += length;
}

void SendQueue::PushFront(const uint8_t* data, size_t length) {
    blocks_.push_front(CSockType{std::vector<uint8_t>(data, data + length)});
    bytes_ += length;
}

void SendQueue::Clear() {
    blocks_.clear();
    bytes_ = 0;
}

}  // namespace ruzd::net
