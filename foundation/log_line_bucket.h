#pragma once

// A budget of log lines: a burst of lines at once, then one more each period it is left alone,
// never more than the burst in store. The time is a millisecond tick that never goes back.

#include <cstdint>

namespace ruzd::foundation {

class LogLineBucket {
public:
    LogLineBucket(uint32_t burst, uint64_t period_ms, uint64_t now_ms)
        : burst_(burst), period_ms_(period_ms), lines_(burst), last_refill_ms_(now_ms) {}

    // Whether a line may be written at `now_ms`; takes nothing.
    bool HasLine(uint64_t now_ms);
    // Takes one line; only after HasLine said yes.
    void Take() { --lines_; }

private:
    uint32_t burst_;
    uint64_t period_ms_;
    uint32_t lines_;
    uint64_t last_refill_ms_;
};

}  // namespace ruzd::foundation
