#include "foundation/once_per_interval.h"

#include <iterator>

namespace ruzd::foundation {

bool OncePerInterval::Due(const std::string& key, uint64_t now_ms) {
    const auto found = let_through_.find(key);
    if (found != let_through_.end()) {
        if (now_ms - found->second < interval_ms_) {
            return false;
        }
        found->second = now_ms;
        return true;
    }
    if (let_through_.size() >= max_keys_) {
        ForgetOlderThan(now_ms);
        if (let_through_.size() >= max_keys_) {
            return false;
        }
    }
    let_through_.emplace(key, now_ms);
    return true;
}

void OncePerInterval::ForgetOlderThan(uint64_t now_ms) {
    for (auto it = let_through_.begin(); it != let_through_.end();) {
        it = now_ms - it->second >= interval_ms_ ? let_through_.erase(it) : std::next(it);
    }
}

}  // namespace ruzd::foundation
