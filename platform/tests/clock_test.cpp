#include "platform/clock.h"

#include <gtest/gtest.h>

namespace ruzd::platform {
namespace {

TEST(Clock, OverrideIsProcessWideAndRestored) {
    ManualClock manual(WallTime(std::chrono::seconds(1000)), 50);
    {
        ScopedClockOverride use(manual);
        EXPECT_EQ(&CurrentClock(), &manual);
        manual.Advance(std::chrono::milliseconds(1500));
        EXPECT_EQ(CurrentClock().TickMs(), 1550u);
        EXPECT_EQ(CurrentClock().Now(), WallTime(std::chrono::milliseconds(1001500)));
    }
    EXPECT_EQ(&CurrentClock(), &SystemClock());
    const uint64_t first = SystemClock().TickMs();
    EXPECT_GE(SystemClock().TickMs(), first);
}

}  // namespace
}  // namespace ruzd::platform
