#include "net/socket_core/buffer_budget.h"

namespace ruzd::net {

std::shared_ptr<BufferBudget> BufferBudget::Create(size_t limit) {
    return std::shared_ptr<BufferBudget>(new BufferBudget(limit));
}

size_t BufferBudget::Total() const {
    std::lock_guard guard(lock_);
    return total_;
}

std::shared_ptr<BufferAccount> BufferBudget::Open() {
    return std::make_shared<BufferAccount>(shared_from_this());
}

BufferAccount::~BufferAccount() {
    Hold(kReceived, 0);
    Hold(kQueued, 0);
}

bool BufferAccount::Hold(Part part, size_t bytes) {
    std::lock_guard guard(budget_->lock_);
    if (counted_) {
        budget_->total_ = budget_->total_ - held_[part] + bytes;
    }
    held_[part] = bytes;
    return !counted_ || budget_->total_ <= budget_->limit_;
}

void BufferAccount::SetCounted(bool counted) {
    std::lock_guard guard(budget_->lock_);
    if (counted == counted_) {
        return;
    }
    counted_ = counted;
    if (counted) {
        budget_->total_ += HeldLocked();
    } else {
        budget_->total_ -= HeldLocked();
    }
}

}  // namespace ruzd::net
