#include "platform/waitable.h"

#include <algorithm>
#include <condition_variable>

namespace ruzd::platform {

namespace detail {
struct Waiter {
    std::condition_variable wake;
};
}  // namespace detail

namespace {
std::mutex& StateMutex() {
    static std::mutex mutex;
    return mutex;
}
}  // namespace

Waitable::~Waitable() = default;

std::unique_lock<std::mutex> Waitable::LockState() {
    return std::unique_lock(StateMutex());
}

void Waitable::NotifyWaitersLocked() {
    for (detail::Waiter* waiter : waiters_) {
        waiter->wake.notify_one();
    }
}

uint32_t Waitable::Wait(uint32_t timeout_ms) {
    Waitable* self = this;
    return WaitForMultiple(std::span<Waitable* const>(&self, 1), false, timeout_ms);
}

std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(uint32_t timeout_ms) {
    if (timeout_ms == kInfinite) {
        return std::nullopt;
    }
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
}

uint32_t WaitForMultiple(std::span<Waitable* const> objects, bool wait_all, uint32_t timeout_ms) {
    return WaitUntil(objects, wait_all, DeadlineAfter(timeout_ms));
}

uint32_t WaitUntil(std::span<Waitable* const> objects, bool wait_all,
                   std::optional<std::chrono::steady_clock::time_point> deadline) {
    std::unique_lock lock = Waitable::LockState();
    detail::Waiter waiter;
    bool registered = false;
    auto unregister = [&] {
        if (!registered)
            return;
        for (Waitable* object : objects) {
            auto& list = object->waiters_;
            list.erase(std::remove(list.begin(), list.end(), &waiter), list.end());
        }
    };
    for (;;) {
        if (wait_all) {
            const bool all =
                !objects.empty() && std::all_of(objects.begin(), objects.end(),
                                                [](Waitable* o) { return o->IsSignaledLocked(); });
            if (all) {
                for (Waitable* object : objects)
                    object->OnAcquiredLocked();
                unregister();
                return kWaitObject0;
            }
        } else {
            for (size_t i = 0; i < objects.size(); ++i) {
                if (objects[i]->IsSignaledLocked()) {
                    objects[i]->OnAcquiredLocked();
                    unregister();
                    return kWaitObject0 + static_cast<uint32_t>(i);
                }
            }
        }
        if (deadline && std::chrono::steady_clock::now() >= *deadline) {
            unregister();
            return kWaitTimeout;
        }
        if (!registered) {
            for (Waitable* object : objects)
                object->waiters_.push_back(&waiter);
            registered = true;
        }
        if (deadline) {
            waiter.wake.wait_until(lock, *deadline);
        } else {
            waiter.wake.wait(lock);
        }
    }
}

}  // namespace ruzd::platform
