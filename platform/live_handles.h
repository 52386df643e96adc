#pragma once

// The handles a Win32-shaped interface has given out and not yet closed, so that a closed or
// made-up handle is refused instead of being followed.

#include <mutex>
#include <set>

namespace ruzd::platform {

class LiveHandles {
public:
    void Add(const void* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.insert(handle);
    }
    // Whether the handle was live; it is not any more.
    bool Remove(const void* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        return live_.erase(handle) != 0;
    }
    bool Contains(const void* handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        return live_.count(handle) != 0;
    }

private:
    std::mutex mutex_;
    std::set<const void*> live_;
};

}  // namespace ruzd::platform
