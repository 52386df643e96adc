#pragma once

// One of the manager's small tables: an ordered map under a lock of its own, taken for the whole
// of every operation. Commands, worker threads and the hardware layer reach the same tables, so a
// reader never sees a half-made change. The lock is re-entrant, which lets a caller hold it
// across several operations (walk the table, then empty it) while each operation still takes it.

#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace ruzd::node {

template <typename Key, typename Value>
class LockedTable {
public:
    // The stored value, or nothing.
    std::optional<Value> Find(const Key& key) const {
        std::lock_guard hold(lock_);
        const auto it = entries_.find(key);
        if (it == entries_.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    // True with the value, or false with `absent` in its place (`value` may be null).
    bool Get(const Key& key, Value* value, const Value& absent) const {
        std::lock_guard hold(lock_);
        const auto it = entries_.find(key);
        const bool found = it != entries_.end();
        if (value != nullptr) {
            *value = found ? it->second : absent;
        }
        return found;
    }

    // Inserts or replaces.
    void Set(const Key& key, Value value) {
        std::lock_guard hold(lock_);
        entries_[key] = std::move(value);
    }

    // An absent key is no error.
    void Erase(const Key& key) {
        std::lock_guard hold(lock_);
        entries_.erase(key);
    }

    void Clear() {
        std::lock_guard hold(lock_);
        entries_.clear();
    }

    // Empties the table and hands back what it held.
    std::map<Key, Value> TakeAll() {
        std::lock_guard hold(lock_);
        std::map<Key, Value> taken;
        taken.swap(entries_);
        return taken;
    }

    // Calls visit(key, value) for every entry in key order, holding the lock throughout. The
    // visitor must not add or erase entries of this table.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        std::lock_guard hold(lock_);
        for (const auto& [key, value] : entries_) {
            visit(key, value);
        }
    }

    std::map<Key, Value> Snapshot() const {
        std::lock_guard hold(lock_);
        return entries_;
    }

    size_t Size() const {
        std::lock_guard hold(lock_);
        return entries_.size();
    }

    // For a caller that must do several operations as one.
    std::recursive_mutex& Lock() const { return lock_; }

private:
    mutable std::recursive_mutex lock_;
    std::map<Key, Value> entries_;
};

}  // namespace ruzd::node
