#include "app/view/clock_jump_detector.h"

#include <cstdlib>

namespace ruzd::app {

namespace {
constexpr int64_t kLeastJumpMs = 2000;
}

std::optional<int32_t> ClockJumpDetector::Tick(int64_t wallMs, int64_t monotonicMs, bool closing) {
    const bool first = !ticked_;
    const int64_t shiftMs = (wallMs - last_wall_ms_) - (monotonicMs - last_monotonic_ms_);
    ticked_ = true;
    last_wall_ms_ = wallMs;
    last_monotonic_ms_ = monotonicMs;
    if (first || closing || std::llabs(shiftMs) <= kLeastJumpMs) {
        return std::nullopt;
    }
    const int64_t rounded = shiftMs >= 0 ? (shiftMs + 500) / 1000 : -((-shiftMs + 500) / 1000);
    return static_cast<int32_t>(rounded);
}

}  // namespace ruzd::app
