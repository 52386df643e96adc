#pragma once

// A map shared between threads, each access a single map operation under the map's own lock.

#include <map>
#include <mutex>
#include <optional>

namespace ruzd::foundation {

template <typename Key, typename Value>
class GuardedMap {
public:
    // Adds the entry, or replaces the value of the key.
    void Set(const Key& key, Value value) {
        std::lock_guard lock(lock_);
        entries_[key] = std::move(value);
    }

    void Erase(const Key& key) {
        std::lock_guard lock(lock_);
        entries_.erase(key);
    }

    // A copy of the key's value; none when the key has none.
    std::optional<Value> Find(const Key& key) const {
        std::lock_guard lock(lock_);
        const auto found = entries_.find(key);
        if (found == entries_.end()) {
            return std::nullopt;
        }
        return found->second;
    }

private:
    mutable std::mutex lock_;
    std::map<Key, Value> entries_;
};

}  // namespace ruzd::foundation
