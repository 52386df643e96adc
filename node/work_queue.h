#pragma once

// The queue of one worker thread: records held by value, a lock and a manual-reset event that is
// set while records may be waiting. Producers (command handlers) append at the tail; the worker
// is the only consumer. The lock is held only to append, to take one record, to empty the list
// and to reset the event, never while a record is worked.

#include <deque>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/event.h"

namespace ruzd::node {

template <typename Record>
class WorkQueue {
public:
    WorkQueue() = default;
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Appends the record and wakes the worker.
    void Push(Record record) {
        std::lock_guard lock(lock_);
        records_.push_back(std::move(record));
        ready_.Set();
    }

    // The head record, or none; taking from an empty list resets the event, so that the worker's
    // next wait sleeps until a producer appends again.
    std::optional<Record> TakeOne() {
        std::lock_guard lock(lock_);
        if (records_.empty()) {
            ready_.Reset();
            return std::nullopt;
        }
        Record record = std::move(records_.front());
        records_.pop_front();
        return record;
    }

    bool IsEmpty() const {
        std::lock_guard lock(lock_);
        return records_.empty();
    }

    size_t Size() const {
        std::lock_guard lock(lock_);
        return records_.size();
    }

    // Drops every record not yet worked.
    void Clear() {
        std::lock_guard lock(lock_);
        records_.clear();
        ready_.Reset();
    }

    // Set while records may be waiting.
    platform::Event& Ready() { return ready_; }

private:
    mutable std::recursive_mutex lock_;
    platform::Event ready_{true};
    std::deque<Record> records_;
};

}  // namespace ruzd::node
