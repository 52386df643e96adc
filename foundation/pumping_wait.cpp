#include "foundation/pumping_wait.h"

#include <algorithm>

#include "foundation/app_hooks.h"

namespace ruzd::foundation {
namespace {

// Limits too long for 32 bits of milliseconds are cut to the longest finite wait.
uint32_t LimitInMilliseconds(uint32_t seconds) {
    if (seconds == kWaitNoLimitSeconds) {
        return platform::kInfinite;
    }
    const uint64_t ms = uint64_t{seconds} * 1000;
    return static_cast<uint32_t>(std::min<uint64_t>(ms, platform::kInfinite - 1));
}

}  // namespace

bool WaitForSingleObjectPumping(platform::Waitable& object, uint32_t seconds) {
    return WaitPumpingForSeconds(object, seconds) == platform::PumpedWait::kSignaled;
}

platform::PumpedWait WaitPumpingForSeconds(platform::Waitable& object, uint32_t seconds) {
    const uint32_t limit_ms = LimitInMilliseconds(seconds);
    AppHooks& app = CurrentApp();
    if (!app.IsApplicationThread()) {
        return object.Wait(limit_ms) == platform::kWaitObject0 ? platform::PumpedWait::kSignaled
                                                               : platform::PumpedWait::kTimeout;
    }
    return platform::WaitPumping(object, limit_ms,
                                 [&app](platform::Message& message) { app.PumpMessage(message); });
}

}  // namespace ruzd::foundation
