#pragma once

// A clock whose wall time moves only when the test moves it, while its tick runs with the
// system's: time texts and the start-up delay are in the test's hands, yet the waits of the
// socket handshakes still run their course.

#include <chrono>
#include <mutex>

#include "platform/clock.h"

namespace ruzd::testing {

class SteppedWallClock : public platform::Clock {
public:
    explicit SteppedWallClock(platform::WallTime start) : now_(start) {}

    platform::WallTime Now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    uint64_t TickMs() const override { return platform::SystemClock().TickMs(); }

    void SetNow(platform::WallTime now) {
        std::lock_guard lock(mutex_);
        now_ = now;
    }
    void Advance(std::chrono::seconds by) {
        std::lock_guard lock(mutex_);
        now_ += by;
    }

private:
    mutable std::mutex mutex_;
    platform::WallTime now_;
};

}  // namespace ruzd::testing
