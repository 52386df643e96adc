#pragma once

// The clock seam: the wall-clock time and a monotonic millisecond tick behind one small
// interface, so that tests can put a clock of their own in place of the system's.

#include <atomic>
#include <chrono>
#include <cstdint>

namespace ruzd::platform {

using WallTime = std::chrono::system_clock::time_point;

class Clock {
public:
    virtual ~Clock() = default;
    // The current UTC time.
    virtual WallTime Now() const = 0;
    // Milliseconds since an arbitrary start that never goes back (GetTickCount64).
    virtual uint64_t TickMs() const = 0;
};

// The system's clock.
Clock& SystemClock();

// The process-wide clock: the system's unless a test installed another.
Clock& CurrentClock();

// Whole seconds since 1970 by the process-wide clock.
int64_t NowSeconds();

// Installs `clock` as the process-wide clock while the object lives.
class ScopedClockOverride {
public:
    explicit ScopedClockOverride(Clock& clock);
    ~ScopedClockOverride();
    ScopedClockOverride(const ScopedClockOverride&) = delete;
    ScopedClockOverride& operator=(const ScopedClockOverride&) = delete;

private:
    Clock* previous_;
};

// A clock that moves only when told; safe to read and move from several threads.
class ManualClock : public Clock {
public:
    explicit ManualClock(WallTime start = WallTime{}, uint64_t tick_ms = 0)
        : now_us_(ToMicros(start)), tick_ms_(tick_ms) {}

    WallTime Now() const override { return WallTime(std::chrono::microseconds(now_us_.load())); }
    uint64_t TickMs() const override { return tick_ms_.load(); }

    void SetNow(WallTime now) { now_us_.store(ToMicros(now)); }
    // Moves both the wall time and the tick forward.
    void Advance(std::chrono::milliseconds by) {
        now_us_.fetch_add(std::chrono::duration_cast<std::chrono::microseconds>(by).count());
        tick_ms_.fetch_add(static_cast<uint64_t>(by.count()));
    }

private:
    static int64_t ToMicros(WallTime t) {
        return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
    }
    std::atomic<int64_t> now_us_;
    std::atomic<uint64_t> tick_ms_;
};

}  // namespace ruzd::platform
