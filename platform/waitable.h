#pragma once

// One waitable notion for events, a thread's end and a process's end, so that code written
// against "wait for this handle" (WaitForSingleObject, WaitForMultipleObjects) keeps its shape.
//
// Every waitable shares one process-wide lock. A signal is a handful of instructions under it,
// and a wait on several objects needs no lock ordering between them.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace ruzd::platform {

constexpr uint32_t kInfinite = 0xFFFFFFFF;
constexpr uint32_t kWaitObject0 = 0;
constexpr uint32_t kWaitTimeout = 258;

namespace detail {
struct Waiter;
}

class Waitable {
public:
    Waitable(const Waitable&) = delete;
    Waitable& operator=(const Waitable&) = delete;
    virtual ~Waitable();

    // Waits up to `timeout_ms` (kInfinite for no limit); kWaitObject0 or kWaitTimeout.
    uint32_t Wait(uint32_t timeout_ms);

protected:
    Waitable() = default;

    // The process-wide lock that guards the state of every waitable.
    static std::unique_lock<std::mutex> LockState();

    // With the state lock held: whether a wait would be satisfied now.
    virtual bool IsSignaledLocked() const = 0;
    // With the state lock held: a wait has been satisfied (an auto-reset event resets here).
    virtual void OnAcquiredLocked() {}
    // With the state lock held: the state changed, wake whoever waits on this object.
    void NotifyWaitersLocked();

private:
    friend uint32_t WaitUntil(std::span<Waitable* const>, bool,
                              std::optional<std::chrono::steady_clock::time_point>);
    std::vector<detail::Waiter*> waiters_;
};

// Waits for one (wait_all false: returns its index) or all (returns 0) of the objects, up to
// `timeout_ms`; kWaitTimeout when it passes. An empty list returns kWaitTimeout at the time-out.
uint32_t WaitForMultiple(std::span<Waitable* const> objects, bool wait_all, uint32_t timeout_ms);

// The same with an absolute deadline; no deadline means no limit.
uint32_t WaitUntil(std::span<Waitable* const> objects, bool wait_all,
                   std::optional<std::chrono::steady_clock::time_point> deadline);

// A deadline `timeout_ms` from now; none for kInfinite.
std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(uint32_t timeout_ms);

}  // namespace ruzd::platform
