#include "boardsim/core/amtelco_mailbox.h"

#include <utility>

namespace ruzd::boardsim {

void AmtelcoMailbox::Post(Box box, uint8_t board, BoardMessage message) {
    std::lock_guard<std::mutex> lock(mutex_);
    boxes_[{box, board}].push_back(std::move(message));
}

std::optional<BoardMessage> AmtelcoMailbox::Take(Box box, uint8_t board) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = boxes_.find({box, board});
    if (it == boxes_.end() || it->second.empty())
        return std::nullopt;
    BoardMessage message = std::move(it->second.front());
    it->second.pop_front();
    return message;
}

size_t AmtelcoMailbox::Pending(Box box, uint8_t board) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = boxes_.find({box, board});
    return it == boxes_.end() ? 0 : it->second.size();
}

}  // namespace ruzd::boardsim
