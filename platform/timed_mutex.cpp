#include "platform/timed_mutex.h"

namespace ruzd::platform {

bool TimedMutex::Acquire(std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock hold(state_);
    const std::thread::id me = std::this_thread::get_id();
    if (reentrant_ && depth_ > 0 && holder_ == me) {
        ++depth_;
        return true;
    }
    const auto free = [this] { return depth_ == 0; };
    if (!deadline) {
        released_.wait(hold, free);
    } else if (!released_.wait_until(hold, *deadline, free)) {
        return false;
    }
    holder_ = me;
    depth_ = 1;
    return true;
}

void TimedMutex::unlock() {
    {
        std::lock_guard hold(state_);
        if (--depth_ > 0) {
            return;
        }
        holder_ = std::thread::id();
    }
    released_.notify_one();
}

}  // namespace ruzd::platform
