#include "platform/message_queue.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/thread.h"
#include "platform/time_scale.h"

namespace ruzd::platform {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

class ThreadQueue : public Waitable {
public:
    void Post(Message message) {
        std::shared_ptr<const std::function<void()>> wake;
        {
            auto lock = LockState();
            posted_.push_back(std::move(message));
            NotifyWaitersLocked();
            wake = wake_;
        }
        // Outside the lock: the hook may post to a loop that takes this queue's messages.
        if (wake) {
            (*wake)();
        }
    }

    void SetWake(std::function<void()> wake) {
        auto lock = LockState();
        wake_ = wake ? std::make_shared<const std::function<void()>>(std::move(wake)) : nullptr;
    }

    // The first posted message whose id lies in [min_id, max_id], else a due timer when the
    // range holds kWmTimer.
    bool Take(Message& out, bool remove, uint32_t min_id, uint32_t max_id) {
        auto lock = LockState();
        const auto in_range = [min_id, max_id](uint32_t id) {
            return id >= min_id && id <= max_id;
        };
        const auto found = std::find_if(posted_.begin(), posted_.end(),
                                        [&](const Message& m) { return in_range(m.id); });
        if (found != posted_.end()) {
            if (remove) {
                out = std::move(*found);
                posted_.erase(found);
            } else {
                out.id = found->id;
                out.wparam = found->wparam;
                out.lparam = found->lparam;
                out.payload.reset();
            }
            return true;
        }
        if (!in_range(kWmTimer)) {
            return false;
        }
        const SteadyTime now = std::chrono::steady_clock::now();
        for (Timer& timer : timers_) {
            if (timer.due <= now) {
                out = Message{kWmTimer, timer.id, 0, nullptr};
                if (remove) {
                    timer.due = now + timer.period;
                }
                return true;
            }
        }
        return false;
    }

    std::optional<SteadyTime> NextTimerDue() {
        auto lock = LockState();
        std::optional<SteadyTime> next;
        for (const Timer& timer : timers_) {
            if (!next || timer.due < *next)
                next = timer.due;
        }
        return next;
    }

    uint32_t AddTimer(uint32_t period_ms) {
        static std::atomic<uint32_t> next_id{1};
        const uint32_t id = next_id.fetch_add(1);
        auto lock = LockState();
        const auto period =
            std::chrono::milliseconds(std::max<uint32_t>(period_ms / TimeScale(), 1));
        timers_.push_back(Timer{id, period, std::chrono::steady_clock::now() + period});
        return id;
    }

    bool RemoveTimer(uint32_t id) {
        auto lock = LockState();
        const auto it = std::find_if(timers_.begin(), timers_.end(),
                                     [id](const Timer& t) { return t.id == id; });
        if (it == timers_.end())
            return false;
        timers_.erase(it);
        return true;
    }

protected:
    bool IsSignaledLocked() const override {
        if (!posted_.empty())
            return true;
        const SteadyTime now = std::chrono::steady_clock::now();
        return std::any_of(timers_.begin(), timers_.end(),
                           [now](const Timer& t) { return t.due <= now; });
    }

private:
    struct Timer {
        uint32_t id;
        std::chrono::milliseconds period;
        SteadyTime due;
    };
    std::deque<Message> posted_;
    std::vector<Timer> timers_;
    std::shared_ptr<const std::function<void()>> wake_;
};

std::mutex& DirectoryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<uint32_t, std::weak_ptr<ThreadQueue>>& Directory() {
    static auto* directory = new std::unordered_map<uint32_t, std::weak_ptr<ThreadQueue>>();
    return *directory;
}

// Owns the calling thread's queue and takes it out of the directory when the thread ends.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    uint32_t thread_id = 0;
    ~QueueHolder() {
        if (!queue)
            return;
        std::lock_guard lock(DirectoryMutex());
        auto it = Directory().find(thread_id);
        if (it != Directory().end() && it->second.lock() == queue) {
            Directory().erase(it);
        }
    }
};

thread_local QueueHolder tls_queue;
thread_local uint32_t tls_last_post_error = 0;

ThreadQueue& CurrentQueue() {
    if (!tls_queue.queue) {
        tls_queue.queue = std::make_shared<ThreadQueue>();
        tls_queue.thread_id = CurrentThreadId();
        std::lock_guard lock(DirectoryMutex());
        Directory()[tls_queue.thread_id] = tls_queue.queue;
    }
    return *tls_queue.queue;
}

std::optional<SteadyTime> Earlier(std::optional<SteadyTime> a, std::optional<SteadyTime> b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

}  // namespace

void EnsureMessageQueue() {
    CurrentQueue();
}

void SetMessageWakeUp(std::function<void()> wake) {
    CurrentQueue().SetWake(std::move(wake));
}

std::optional<uint32_t> MillisToNextTimer() {
    const std::optional<SteadyTime> due = CurrentQueue().NextTimerDue();
    if (!due) {
        return std::nullopt;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        *due - std::chrono::steady_clock::now());
    return static_cast<uint32_t>(std::max<int64_t>(left.count(), 0));
}

bool PostThreadMessage(uint32_t thread_id, uint32_t id, uintptr_t wparam, intptr_t lparam,
                       std::unique_ptr<MessagePayload> payload) {
    std::shared_ptr<ThreadQueue> queue;
    {
        std::lock_guard lock(DirectoryMutex());
        auto it = Directory().find(thread_id);
        if (it != Directory().end())
            queue = it->second.lock();
    }
    if (!queue) {
        tls_last_post_error = kErrorInvalidThreadId;
        return false;
    }
    queue->Post(Message{id, wparam, lparam, std::move(payload)});
    return true;
}

uint32_t LastPostError() {
    return tls_last_post_error;
}

void PostQuitMessage(int exit_code) {
    CurrentQueue().Post(Message{kWmQuit, static_cast<uintptr_t>(exit_code), 0, nullptr});
}

bool GetMessage(Message& out) {
    ThreadQueue& queue = CurrentQueue();
    Waitable* self = &queue;
    while (!queue.Take(out, true, 0, kAnyMessage)) {
        WaitUntil(std::span<Waitable* const>(&self, 1), false, queue.NextTimerDue());
    }
    return out.id != kWmQuit;
}

bool PeekMessage(Message& out, bool remove) {
    return CurrentQueue().Take(out, remove, 0, kAnyMessage);
}

bool PeekMessage(Message& out, bool remove, uint32_t min_id, uint32_t max_id) {
    return CurrentQueue().Take(out, remove, min_id, max_id);
}

uint32_t SetThreadTimer(uint32_t period_ms) {
    return CurrentQueue().AddTimer(period_ms);
}

bool KillThreadTimer(uint32_t timer_id) {
    return CurrentQueue().RemoveTimer(timer_id);
}

int RunMessageLoop(const MessageDispatch& dispatch) {
    Message message;
    while (GetMessage(message)) {
        dispatch(message);
        message = Message{};
    }
    return static_cast<int>(message.wparam);
}

uint32_t MsgWaitForMultiple(std::span<Waitable* const> objects, uint32_t timeout_ms) {
    ThreadQueue& queue = CurrentQueue();
    std::vector<Waitable*> all(objects.begin(), objects.end());
    all.push_back(&queue);
    const std::optional<SteadyTime> deadline = DeadlineAfter(timeout_ms);
    for (;;) {
        const uint32_t result = WaitUntil(all, false, Earlier(deadline, queue.NextTimerDue()));
        if (result != kWaitTimeout) {
            return result;
        }
        if (deadline && std::chrono::steady_clock::now() >= *deadline) {
            return kWaitTimeout;
        }
    }
}

PumpedWait WaitPumping(Waitable& object, uint32_t timeout_ms, const MessageDispatch& dispatch) {
    const std::optional<SteadyTime> deadline = DeadlineAfter(timeout_ms);
    Waitable* objects[] = {&object};
    for (;;) {
        uint32_t remaining = kInfinite;
        if (deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            remaining = static_cast<uint32_t>(std::max<int64_t>(left.count(), 0));
        }
        const uint32_t result = MsgWaitForMultiple(objects, remaining);
        if (result == kWaitObject0) {
            return PumpedWait::kSignaled;
        }
        if (result == kWaitTimeout) {
            return PumpedWait::kTimeout;
        }
        Message message;
        while (PeekMessage(message, true)) {
            if (message.id == kWmQuit) {
                PostQuitMessage(static_cast<int>(message.wparam));
                return PumpedWait::kQuit;
            }
            if (dispatch)
                dispatch(message);
            message = Message{};
        }
    }
}

}  // namespace ruzd::platform
