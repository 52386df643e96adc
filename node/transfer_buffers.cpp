#include "node/transfer_buffers.h"

namespace ruzd::node {

TransferSet::TransferSet() {
    list.back().io_type = IO_EOT;
    terminations.back().tp_type = IO_EOT;
}

TransferSet& TransferBuffers::NewSet(int32_t handle, bool channel_idle) {
    std::lock_guard lock(lock_);
    std::vector<std::unique_ptr<TransferSet>>& sets = sets_[handle];
    if (channel_idle) {
        sets.clear();
    }
    sets.push_back(std::make_unique<TransferSet>());
    return *sets.back();
}

void TransferBuffers::FreeAll() {
    std::lock_guard lock(lock_);
    sets_.clear();
}

size_t TransferBuffers::Size() const {
    std::lock_guard lock(lock_);
    size_t count = 0;
    for (const auto& [handle, sets] : sets_) {
        count += sets.size();
    }
    return count;
}

}  // namespace ruzd::node
