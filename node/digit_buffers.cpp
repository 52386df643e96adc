#include "node/digit_buffers.h"

namespace ruzd::node {

bool DigitBuffers::Get(int32_t ldev, DV_DIGIT** buffer) const {
    std::lock_guard hold(lock_);
    const auto it = buffers_.find(ldev);
    const bool found = it != buffers_.end();
    if (buffer != nullptr) {
        *buffer = found ? it->second.get() : nullptr;
    }
    return found;
}

DV_DIGIT* DigitBuffers::GetOrCreate(int32_t ldev) {
    std::lock_guard hold(lock_);
    std::unique_ptr<DV_DIGIT>& buffer = buffers_[ldev];
    if (!buffer) {
        buffer = std::make_unique<DV_DIGIT>();
    }
    return buffer.get();
}

void DigitBuffers::FreeAll() {
    std::lock_guard hold(lock_);
    buffers_.clear();
}

size_t DigitBuffers::Size() const {
    std::lock_guard hold(lock_);
    return buffers_.size();
}

}  // namespace ruzd::node
