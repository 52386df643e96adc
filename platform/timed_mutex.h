#pragma once

// Mutexes whose lock may give up after a while, used as std::timed_mutex and
// std::recursive_timed_mutex are (lock_guard, unique_lock, try_lock_for). They are made of a
// plain mutex and a condition variable because g++ 12's standard ones wait in
// pthread_mutex_clocklock, which its ThreadSanitizer does not intercept: it then misses the lock
// and reports the holders' work as races, and the unlock as one of a mutex never locked. It
// follows waits on a condition variable.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace ruzd::platform {

class TimedMutex {
public:
    TimedMutex() : TimedMutex(false) {}
    TimedMutex(const TimedMutex&) = delete;
    TimedMutex& operator=(const TimedMutex&) = delete;

    void lock() { Acquire(std::nullopt); }
    bool try_lock() { return Acquire(std::chrono::steady_clock::now()); }
    template <typename Rep, typename Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& patience) {
        return Acquire(std::chrono::steady_clock::now() + patience);
    }
    void unlock();

protected:
    // `reentrant`: the holder may lock it again, and must unlock it as often.
    explicit TimedMutex(bool reentrant) : reentrant_(reentrant) {}

private:
    // False when the deadline passed first; no deadline waits without limit.
    bool Acquire(std::optional<std::chrono::steady_clock::time_point> deadline);

    const bool reentrant_;
    std::mutex state_;
    std::condition_variable released_;
    std::thread::id holder_;
    uint32_t depth_ = 0;
};

class RecursiveTimedMutex : public TimedMutex {
public:
    RecursiveTimedMutex() : TimedMutex(true) {}
};

}  // namespace ruzd::platform
