#pragma once

// Named threads, each with its message queue from the start, with an atomic run flag and an "ended"
// signal that can be waited on with a time limit. A thread object may be destroyed on its own
// thread: it then lets the thread run to its end instead of joining itself.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/event.h"

namespace ruzd::platform {

// The kernel's id of the calling thread (what Windows calls the thread id).
uint32_t CurrentThreadId();

// Sets the calling thread's name as the system shows it, cut to the 15 characters Linux keeps.
void SetCurrentThreadSystemName(const std::string& name);

class Thread {
public:
    explicit Thread(std::string name);
    // Joins a running thread, or lets it finish on its own when called on that thread.
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts `body` on a new thread; the thread's id is known when this returns. False when
    // the thread was started before or could not be created.
    bool Start(std::function<void()> body);

    const std::string& name() const { return name_; }
    uint32_t id() const;
    bool started() const { return thread_.joinable() || id() != 0; }
    bool IsCurrent() const { return id() != 0 && id() == CurrentThreadId(); }

    // The run flag: set by Start, cleared by RequestStop; the body polls it.
    void RequestStop() { state_->running.store(false); }
    bool ShouldRun() const { return state_->running.load(); }
    std::atomic<bool>& run_flag() { return state_->running; }

    // Signalled once the body has returned.
    Waitable& ended() { return state_->ended; }
    bool WaitForEnd(uint32_t timeout_ms) { return ended().Wait(timeout_ms) == kWaitObject0; }

    // Waits for the end without a limit; does nothing on the thread itself or when not started.
    void Join();

private:
    struct State {
        std::atomic<uint32_t> id{0};
        std::atomic<bool> running{false};
        Event ended{true};
    };

    std::string name_;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace ruzd::platform
