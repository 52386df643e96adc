#include "node/transfer_buffers.h"

#include <algorithm>
#include <utility>

namespace ruzd::node {

TransferSet::TransferSet() {
    list.back().io_type = IO_EOT;
    terminations.back().tp_type = IO_EOT;
}

TransferBuffers::Hold TransferBuffers::NewSet(int32_t handle, bool channel_idle) {
    std::lock_guard lock(lock_);
    std::vector<std::unique_ptr<TransferSet>>& sets = sets_[handle];
    if (channel_idle) {
        sets.clear();
    }
    sets.push_back(std::make_unique<TransferSet>());
    return Hold(this, handle, sets.back().get());
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

void TransferBuffers::Started(int32_t handle, const TransferSet* set) {
    std::lock_guard lock(lock_);
    std::vector<std::unique_ptr<TransferSet>>& sets = sets_[handle];
    std::erase_if(sets,
                  [set](const std::unique_ptr<TransferSet>& kept) { return kept.get() != set; });
}

// The set may be gone already: the session's end frees every set, whoever holds one.
void TransferBuffers::Abandon(int32_t handle, const TransferSet* set) {
    std::lock_guard lock(lock_);
    const auto found = sets_.find(handle);
    if (found == sets_.end()) {
        return;
    }
    std::erase_if(found->second,
                  [set](const std::unique_ptr<TransferSet>& kept) { return kept.get() == set; });
}

TransferBuffers::Hold::Hold(Hold&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), handle_(other.handle_), set_(other.set_) {}

TransferBuffers::Hold::~Hold() {
    if (owner_ != nullptr) {
        owner_->Abandon(handle_, set_);
    }
}

void TransferBuffers::Hold::Started() {
    owner_->Started(handle_, set_);
    owner_ = nullptr;
}

}  // namespace ruzd::node
