#pragma once

// The simulator's own thread for what a real library does after its function has returned:
// writing a call reference into the caller's memory and raising the events of a call. Each
// action runs no sooner than the delay after it was posted, in the order of posting, so that
// a caller never finds the result already there when its function returns, and the events
// of one call never overtake each other.
//
// The control socket can hold the thread (nothing runs until it runs again) and wait until
// everything posted so far has run.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ruzd::boardsim {

class CallWorker {
public:
    explicit CallWorker(std::chrono::milliseconds delay);
    // Stops the thread; actions still waiting are dropped.
    ~CallWorker();
    CallWorker(const CallWorker&) = delete;
    CallWorker& operator=(const CallWorker&) = delete;

    void Post(std::function<void()> action);

    void Hold();
    void Run();
    bool held() const;

    // Waits until every action posted so far has run; false when the thread is held or the
    // limit passes first.
    bool Settle(std::chrono::milliseconds limit);

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        std::function<void()> action;
    };

    void Loop();

    const std::chrono::milliseconds delay_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending> pending_;
    bool running_action_ = false;
    bool held_ = false;
    bool stopping_ = false;
    std::thread thread_;  // started last
};

}  // namespace ruzd::boardsim
