#include "net/socket_core/buffer_budget.h"

namespace ruzd::net {

std::shared_ptr<BufferBudget> BufferBudget::Create(size_t limit, size_t active_limit) {
    return std::shared_ptr<BufferBudget>(new BufferBudget(limit, active_limit));
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
    if (!counted_) {
        return part != kQueued || budget_->active_limit_ == 0 || bytes <= budget_->active_limit_;
    }
    return budget_->total_ <= budget_->limit_;
}

std::string BufferAccount::OverLimitReason() const {
    bool counted = true;
    {
        std::lock_guard guard(budget_->lock_);
        counted = counted_;
    }
    if (!counted) {
        return "the active connection holds more than " + std::to_string(budget_->active_limit_) +
               " bytes to send";
    }
    return "connections other than the active one hold more than " +
           std::to_string(budget_->limit_) + " bytes";
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
