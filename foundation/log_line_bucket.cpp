#include "foundation/log_line_bucket.h"

#include <algorithm>

namespace ruzd::foundation {

bool LogLineBucket::HasLine(uint64_t now_ms) {
    if (now_ms > last_refill_ms_) {
        const uint64_t earned = (now_ms - last_refill_ms_) / period_ms_;
        lines_ = static_cast<uint32_t>(std::min<uint64_t>(burst_, lines_ + earned));
        last_refill_ms_ += earned * period_ms_;
    }
    return lines_ > 0;
}

}  // namespace ruzd::foundation
