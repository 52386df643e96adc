#include "platform/clock.h"

namespace ruzd::platform {
namespace {

class RealClock : public Clock {
public:
    WallTime Now() const override { return std::chrono::system_clock::now(); }
    uint64_t TickMs() const override {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    }
};

std::atomic<Clock*>& Installed() {
    static std::atomic<Clock*> installed{nullptr};
    return installed;
}

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

}  // namespace ruzd::platform
