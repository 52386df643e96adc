#include "boardsim/core/call_table.h"

#include <utility>

namespace ruzd::boardsim {

int32_t CallTable::Offer(int32_t device, std::string dnis, std::string ani) {
    std::lock_guard<std::mutex> lock(mutex_);
    SimulatedCall call;
    call.crn = next_crn_++;
    call.device = device;
    call.dnis = std::move(dnis);
    call.ani = std::move(ani);
    calls_[call.crn] = call;
    return call.crn;
}

std::optional<SimulatedCall> CallTable::Find(int32_t crn) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = calls_.find(crn);
    if (it == calls_.end())
        return std::nullopt;
    return it->second;
}

std::optional<SimulatedCall> CallTable::NewestOn(int32_t device) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = calls_.rbegin(); it != calls_.rend(); ++it) {
        if (it->second.device == device)
            return it->second;
    }
    return std::nullopt;
}

void CallTable::Remove(int32_t crn) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.erase(crn);
}

size_t CallTable::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
}

}  // namespace ruzd::boardsim
