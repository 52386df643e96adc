#include "platform/clock.h"

#include "platform/time_scale.h"

namespace ruzd::platform {
namespace {

uint64_t SteadyMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The system's time, run faster from its first reading on under a time scale above 1.
class RealClock : public Clock {
public:
    RealClock()
        : scale_(TimeScale()),
          start_wall_(std::chrono::system_clock::now()),
          start_tick_(SteadyMs()) {}

    WallTime Now() const override {
        const WallTime now = std::chrono::system_clock::now();
        return scale_ == 1 ? now : start_wall_ + (now - start_wall_) * scale_;
    }
    uint64_t TickMs() const override {
        const uint64_t tick = SteadyMs();
        return scale_ == 1 ? tick : start_tick_ + (tick - start_tick_) * scale_;
    }

private:
    const uint32_t scale_;
    const WallTime start_wall_;
    const uint64_t start_tick_;
};

std::atomic<Clock*>& Installed() {
    static std::atomic<Clock*> installed{nullptr};
    return installed;
}

// Read at start-up, so that a scaled clock runs fast from process start.
[[maybe_unused]] const Clock& kStartedClock = SystemClock();

}  // namespace

Clock& SystemClock() {
    // Never destroyed: code that runs at exit (the debug log's last lines) still reads it.
    static RealClock* clock = new RealClock();
    return *clock;
}

Clock& CurrentClock() {
    Clock* clock = Installed().load();
    return clock != nullptr ? *clock : SystemClock();
}

ScopedClockOverride::ScopedClockOverride(Clock& clock) : previous_(Installed().exchange(&clock)) {}

ScopedClockOverride::~ScopedClockOverride() {
    Installed().store(previous_);
}

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(CurrentClock().Now().time_since_epoch())
        .count();
}

}  // namespace ruzd::platform
