#include "foundation/time_tools.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <boost/date_time/posix_time/posix_time.hpp>

#include <atomic>
#include <optional>
#include <string>

#include "testing/listener_thread.h"

namespace ruzd::foundation {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// 2026-12-08 07:55:27 UTC.
const platform::WallTime kServerTime = platform::WallTime(seconds(1796716527));

// A clock that moves one second forward every time it is read, as a busy machine's clock
// may between two readings.
class TickingClock : public platform::Clock {
public:
    explicit TickingClock(platform::WallTime start)
        : now_us_(std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch())
                      .count()) {}
    platform::WallTime Now() const override {
        return platform::WallTime(std::chrono::microseconds(now_us_.fetch_add(1000000)));
    }
    uint64_t TickMs() const override { return 0; }

private:
    mutable std::atomic<int64_t> now_us_;
};

class TimeToolsTest : public ::testing::Test {
protected:
    TimeToolsTest() : use_clock_(clock_) {
        if (const char* tz = getenv("TZ"))
            saved_tz_ = tz;
        SetZone("UTC0");
        TimeTools::ResetServerTimeShift();
    }
    ~TimeToolsTest() override {
        if (saved_tz_) {
            setenv("TZ", saved_tz_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        TimeTools::ResetServerTimeShift();
    }

    static void SetZone(const char* tz) {
        setenv("TZ", tz, 1);
        TimeTools::RefreshTimeZone();
    }

    platform::ManualClock clock_{kServerTime};
    platform::ScopedClockOverride use_clock_;
    std::optional<std::string> saved_tz_;
};

TEST_F(TimeToolsTest, ServerTimeTextsReadAlikeAndShortOnesAreIgnored) {
    clock_.SetNow(kServerTime + seconds(90));
    TimeTools::ApplyServerTime("2026-12-08T07:55");
    EXPECT_FALSE(TimeTools::IsServerTimeShiftActive());
    EXPECT_EQ(TimeTools::GetServerTimeShift(), 0);

    TimeTools::ApplyServerTime("2026-12-08T07:55:27+03600");
    EXPECT_TRUE(TimeTools::IsServerTimeShiftActive());
    EXPECT_EQ(TimeTools::GetServerTimeShift(), 90);

    TimeTools::ResetServerTimeShift();
    TimeTools::ApplyServerTime("2026/12/08 07.55.27");
    EXPECT_EQ(TimeTools::GetServerTimeShift(), 90);
}

TEST_F(TimeToolsTest, UnreadableServerTimeLeavesTheShiftAlone) {
    clock_.SetNow(kServerTime + seconds(30));
    TimeTools::ApplyServerTime("2026-13-08T07:55:27");
    TimeTools::ApplyServerTime("2026-02-30T07:55:27");
    TimeTools::ApplyServerTime("2026-12-08T25:55:27");
    TimeTools::ApplyServerTime("2026-12-0xT07:55:27");
    EXPECT_FALSE(TimeTools::IsServerTimeShiftActive());

    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    ASSERT_EQ(TimeTools::GetServerTimeShift(), 30);
    TimeTools::ApplyServerTime("2026-00-08T07:55:27");
    EXPECT_EQ(TimeTools::GetServerTimeShift(), 30);
    EXPECT_TRUE(TimeTools::IsServerTimeShiftActive());
}

TEST_F(TimeToolsTest, ShiftIsRoundedToTheNearestSecond) {
    struct Case {
        milliseconds own_minus_server;
        int32_t shift;
    } cases[] = {{milliseconds(600), 1},     {milliseconds(400), 0}, {milliseconds(-600), -1},
                 {milliseconds(-400), 0},    {milliseconds(500), 1}, {milliseconds(-500), -1},
                 {milliseconds(-90500), -91}};
    for (const Case& c : cases) {
        clock_.SetNow(kServerTime + c.own_minus_server);
        TimeTools::ApplyServerTime("2026-12-08T07:55:27");
        EXPECT_EQ(TimeTools::GetServerTimeShift(), c.shift) << c.own_minus_server.count() << " ms";
    }
}

TEST_F(TimeToolsTest, NodeAheadOfServerReportsTheServersTime) {
    SetZone("CET-1");
    clock_.SetNow(kServerTime + seconds(90) + milliseconds(42));
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    ASSERT_EQ(TimeTools::GetServerTimeShift(), 90);

    const SystemTime utc = TimeTools::GetUtcSystemTime();
    EXPECT_EQ(utc.hour, 7);
    EXPECT_EQ(utc.minute, 55);
    EXPECT_EQ(utc.second, 27);
    EXPECT_EQ(utc.milliseconds, 42);
    EXPECT_EQ(TimeTools::GetUtcNow(), kServerTime + milliseconds(42));
    EXPECT_EQ(TimeTools::GetUtcOffsetSeconds(), 3600 + 90);
    EXPECT_EQ(TimeTools::GetBiasSeconds(), 3600);
    EXPECT_EQ(TimeTools::GetBiasAndShiftSeconds(), 3690);

    const SystemTime local = TimeTools::GetLocalSystemTime();
    EXPECT_EQ(local.hour, 8);
    EXPECT_EQ(local.minute, 55);
    EXPECT_EQ(local.second, 27);

    EXPECT_EQ(TimeTools::FormatUtcTimestamp(true), "2026-12-08 07:55:27.042");
    EXPECT_EQ(TimeTools::FormatUtcTimestamp(false), "07:55:27.042");
    EXPECT_EQ(TimeTools::FormatLocalTimestamp(true), "2026-12-08 08:55:27.042+1:01:30");
    EXPECT_EQ(TimeTools::GetLocalIsoTimestamp(), "2026-12-08T07:55:27+03690");
    EXPECT_EQ(boost::posix_time::to_iso_extended_string(TimeTools::GetUtcOleDateTime()),
              "2026-12-08T07:55:27.042000");
    EXPECT_EQ(boost::posix_time::to_iso_extended_string(TimeTools::GetLocalOleDateTime()),
              "2026-12-08T08:55:27");
}

TEST_F(TimeToolsTest, ShiftOfZeroActivatesTheShiftedBranchWithTheSameResult) {
    const std::string before = TimeTools::FormatUtcTimestamp(true);
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    EXPECT_TRUE(TimeTools::IsServerTimeShiftActive());
    EXPECT_EQ(TimeTools::GetServerTimeShift(), 0);
    EXPECT_EQ(TimeTools::FormatUtcTimestamp(true), before);
    EXPECT_EQ(TimeTools::GetUtcOffsetSeconds(), 0);
}

TEST_F(TimeToolsTest, OffsetsPrintWithTheirSign) {
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(-1800)), "-0:30:00");
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(3600)), "+1:00:00");
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(36000)), "+10:00:00");
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(-18000)), "-5:00:00");
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(0)), "+0:00:00");
    EXPECT_EQ(TimeTools::FormatHms(TimeTools::SplitSeconds(-3661)), "-1:01:01");

    SetZone("XXX0:30");
    EXPECT_EQ(TimeTools::FormatLocalTimestamp(false), "07:25:27.000-0:30:00");
    EXPECT_EQ(TimeTools::GetLocalIsoTimestamp(), "2026-12-08T07:55:27-01800");
    SetZone("UTC0");
    EXPECT_EQ(TimeTools::GetLocalIsoTimestamp(), "2026-12-08T07:55:27+00000");
}

TEST_F(TimeToolsTest, ZoneOffsetComesFromOneReadingOfTheClock) {
    SetZone("EST5EDT,M3.2.0,M11.1.0");
    TickingClock ticking(kServerTime + milliseconds(999));
    platform::ScopedClockOverride use(ticking);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(TimeTools::GetUtcOffsetSeconds(), -18000);
}

TEST_F(TimeToolsTest, ZonesReportTheirRealOffsetWithOrWithoutDaylightSaving) {
    setenv("TZ", "IST-5:30", 1);
    EXPECT_EQ(TimeTools::RefreshTimeZone(), kTimeZoneIdUnknown);
    EXPECT_EQ(TimeTools::GetBiasSeconds(), 19800);
    EXPECT_EQ(TimeTools::GetUtcOffsetSeconds(), 19800);

    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    EXPECT_EQ(TimeTools::RefreshTimeZone(), kTimeZoneIdStandard);
    EXPECT_EQ(TimeTools::GetBiasSeconds(), -18000);
    clock_.SetNow(kServerTime - std::chrono::hours(24 * 150));  // in July
    EXPECT_EQ(TimeTools::RefreshTimeZone(), kTimeZoneIdDaylight);
    EXPECT_EQ(TimeTools::GetBiasSeconds(), -14400);
    EXPECT_EQ(TimeTools::GetUtcOffsetSeconds(), -14400);
}

using testing::ListenerThread;

TEST_F(TimeToolsTest, ChangedShiftIsPostedToRegisteredThreads) {
    ListenerThread listener;
    TimeTools::RegisterShiftListener({}, listener.id(), WM_TIMETOOLS_TIME_CHANGED);

    // The same shift as before (0) activates the shift but posts nothing.
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    clock_.SetNow(kServerTime + seconds(5));
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    ASSERT_TRUE(listener.WaitFor(WM_TIMETOOLS_TIME_CHANGED, 1));
    // Once more with the same shift: no second notice. A probe message shows the queue is
    // worked, so the count below is final.
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    ASSERT_TRUE(listener.Drain());
    EXPECT_EQ(listener.Count(WM_TIMETOOLS_TIME_CHANGED), 1);

    TimeTools::RegisterShiftListener({}, listener.id(), 0);
    EXPECT_FALSE(TimeTools::IsShiftListener(listener.id()));
}

TEST_F(TimeToolsTest, ThreadThatEndedIsDroppedAtTheNextNotice) {
    ListenerThread gone;
    const uint32_t gone_id = gone.id();
    gone.Stop();
    ListenerThread alive;
    TimeTools::RegisterShiftListener({}, gone_id, WM_TIMETOOLS_TIME_CHANGED);
    TimeTools::RegisterShiftListener({}, alive.id(), WM_TIMETOOLS_TIME_CHANGED);
    ASSERT_TRUE(TimeTools::IsShiftListener(gone_id));

    TimeTools::NotifyShiftListeners();
    ASSERT_TRUE(alive.WaitFor(WM_TIMETOOLS_TIME_CHANGED, 1));
    EXPECT_FALSE(TimeTools::IsShiftListener(gone_id));
    EXPECT_TRUE(TimeTools::IsShiftListener(alive.id()));
    EXPECT_EQ(alive.Count(WM_TIMETOOLS_TIME_CHANGED), 1);
    TimeTools::RegisterShiftListener({}, alive.id(), 0);
}

}  // namespace
}  // namespace ruzd::foundation
