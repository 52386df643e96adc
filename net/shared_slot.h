#pragma once

#include <memory>
#include <mutex>

namespace ruzd::net {

// A shared pointer that one thread may swap while others read it: the socket-thread objects
// keep their current socket thread in one, so that a restart can put a new thread in place
// while senders still hold the old one.
template <typename T>
class SharedSlot {
public:
    std::shared_ptr<T> Get() const {
        std::lock_guard guard(lock_);
        return value_;
    }

    // Puts `fresh` in place and returns what was there.
    std::shared_ptr<T> Exchange(std::shared_ptr<T> fresh) {
        std::lock_guard guard(lock_);
        value_.swap(fresh);
        return fresh;
    }

private:
    mutable std::mutex lock_;
    std::shared_ptr<T> value_;
};

}  // namespace ruzd::net
