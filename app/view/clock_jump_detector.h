#pragma once

// Notices that the wall clock was set, from the main window's once-a-second timer. A late timer
// (the window's thread busy or the machine stalled) is no jump: only the part of the wall
// clock's change that the monotonic clock did not see counts, and only when it is more than 2
// seconds either way.

#include <cstdint>
#include <optional>

namespace ruzd::app {

class ClockJumpDetector {
public:
    // One timer tick: the wall clock and the monotonic clock, both in milliseconds. Returns the
    // jump in whole seconds (rounded to the nearest), none on the first tick, for a change of 2
    // seconds or less and while the application is closing.
    std::optional<int32_t> Tick(int64_t wallMs, int64_t monotonicMs, bool closing);

private:
    bool ticked_ = false;
    int64_t last_wall_ms_ = 0;
    int64_t last_monotonic_ms_ = 0;
};

}  // namespace ruzd::app
