// Notices of changes of the machine's clock and zone, and of the server time shift, to threads
// of this process and to the window of another.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>

#include "foundation/time_tools.h"
#include "platform/event.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/listener_thread.h"
#include "testing/scoped_environment.h"
#include "testing/temp_root.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;
using testing::ListenerThread;
using ::testing::Optional;

constexpr uint32_t kTimeChanged = WM_SYSTEM_TIME_CHANGED;
const std::string kNotice = "posted 0x48E 0 0";

// A window of another process (testing/window_child.h), found by its class.
class WindowChild : public testing::ChildProgram {
public:
    WindowChild() : ChildProgram("platform_message_window_child", {"NoticeReceiver", "n", "0"}) {
        EXPECT_THAT(ReadLine(), Optional(std::string("ready")));
        handle_ = platform::FindWindow("NoticeReceiver");
    }
    const platform::WindowHandle& handle() const { return handle_; }
    // Closes the window and waits for its program to end.
    void End() {
        CloseStdin();
        Wait();
    }

private:
    platform::WindowHandle handle_;
};

// The callback of the tests: counts its runs, and while `hold` is set keeps the notice thread
// inside itself until the gate opens.
std::atomic<int> g_callbacks{0};
std::atomic<bool> g_hold{false};
platform::Event g_inside(false);
platform::Event g_gate(true);
void CountingCallback() {
    g_callbacks.fetch_add(1);
    if (g_hold.load()) {
        g_inside.Set();
        g_gate.Wait(platform::kInfinite);
    }
}

class TimeChangeNoticesTest : public ::testing::Test {
protected:
    TimeChangeNoticesTest() {
        environment_.Set("RUZD_ZONE_WATCH_DIR", zone_folder_.path().string());
        g_callbacks = 0;
        g_hold = false;
        g_gate.Reset();
    }
    ~TimeChangeNoticesTest() override {
        environment_.Unset("TZ");
        TimeTools::RefreshTimeZone();
    }
    static void PostTimeChange() {
        ASSERT_NE(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
        platform::PostThreadMessage(TimeTools::GetTimeChangeNoticeThreadId(),
                                    platform::kWmTimeChange);
    }

    testing::TempRoot root_;
    testing::TempDir zone_folder_;
    testing::ScopedEnvironment environment_;
};

TEST_F(TimeChangeNoticesTest, ABurstOfChangesGivesOneRefreshOneCallbackAndOnePostToEach) {
    ListenerThread thread;
    WindowChild window;
    ASSERT_TRUE(window.handle());
    EXPECT_TRUE(TimeTools::RegisterTimeChangeListener({}, thread.id(), kTimeChanged));
    EXPECT_TRUE(TimeTools::RegisterTimeChangeListener(window.handle(), 0, kTimeChanged));
    EXPECT_TRUE(TimeTools::SetTimeChangeCallback(CountingCallback));

    // The first change's notice is held in the callback, so that three more changes surely
    // wait in the queue together when it goes on.
    g_hold = true;
    PostTimeChange();
    ASSERT_EQ(g_inside.Wait(60000), platform::kWaitObject0);
    const uint64_t refreshes = TimeTools::GetTimeZoneRefreshCount();
    for (int i = 0; i < 3; ++i) {
        PostTimeChange();
    }
    g_hold = false;
    g_gate.Set();
    ASSERT_TRUE(thread.WaitFor(kTimeChanged, 2));
    EXPECT_THAT(window.ReadLine(testing::kPatience), Optional(kNotice));
    EXPECT_THAT(window.ReadLine(testing::kPatience), Optional(kNotice));

    // One more change: its notice comes right after the burst's single one.
    PostTimeChange();
    ASSERT_TRUE(thread.WaitFor(kTimeChanged, 3));
    EXPECT_THAT(window.ReadLine(testing::kPatience), Optional(kNotice));
    ASSERT_TRUE(thread.Drain());
    EXPECT_EQ(thread.Count(kTimeChanged), 3);
    EXPECT_EQ(g_callbacks.load(), 3);
    EXPECT_EQ(TimeTools::GetTimeZoneRefreshCount(), refreshes + 2);

    TimeTools::SetTimeChangeCallback(nullptr);
    TimeTools::RegisterTimeChangeListener({}, thread.id(), 0);
    TimeTools::RegisterTimeChangeListener(window.handle(), 0, 0);
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
}

TEST_F(TimeChangeNoticesTest, AThreadThatEndedAndAWindowDestroyedAreDroppedAtTheNextNotice) {
    ListenerThread alive;
    ListenerThread gone;
    WindowChild window;
    const uint32_t gone_id = gone.id();
    TimeTools::RegisterTimeChangeListener({}, alive.id(), kTimeChanged);
    TimeTools::RegisterTimeChangeListener({}, gone_id, kTimeChanged);
    TimeTools::RegisterTimeChangeListener(window.handle(), 0, kTimeChanged);
    ASSERT_TRUE(TimeTools::IsTimeChangeListener(window.handle()));
    gone.Stop();
    window.End();

    PostTimeChange();
    ASSERT_TRUE(alive.WaitFor(kTimeChanged, 1));
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(gone_id));
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(window.handle()));
    EXPECT_TRUE(TimeTools::IsTimeChangeListener(alive.id()));

    TimeTools::RegisterTimeChangeListener({}, alive.id(), 0);
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
}

TEST_F(TimeChangeNoticesTest, ExactlyOneReceiverAtATimeAndTheThreadLivesWhileSomeoneListens) {
    ListenerThread thread;
    WindowChild window;
    EXPECT_FALSE(TimeTools::RegisterTimeChangeListener(window.handle(), thread.id(), kTimeChanged));
    EXPECT_FALSE(TimeTools::RegisterTimeChangeListener({}, 0, kTimeChanged));
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(thread.id()));
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(window.handle()));
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);

    // Unregistering a stranger, or registering a window that is not there, leaves no thread.
    EXPECT_TRUE(TimeTools::RegisterTimeChangeListener({}, thread.id(), 0));
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
    EXPECT_TRUE(TimeTools::RegisterTimeChangeListener(
        platform::WindowHandle("window.noticereceiver.999999.1"), 0, kTimeChanged));
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);

    // A callback keeps the thread when the last listener goes.
    TimeTools::RegisterTimeChangeListener({}, thread.id(), kTimeChanged);
    const uint32_t notices = TimeTools::GetTimeChangeNoticeThreadId();
    EXPECT_NE(notices, 0u);
    TimeTools::SetTimeChangeCallback(CountingCallback);
    TimeTools::RegisterTimeChangeListener({}, thread.id(), 0);
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), notices);
    PostTimeChange();
    EXPECT_TRUE(testing::Eventually([] { return g_callbacks.load() == 1; }));
    TimeTools::SetTimeChangeCallback(nullptr);
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
    ASSERT_TRUE(thread.Drain());
    EXPECT_EQ(thread.Count(kTimeChanged), 0);

    // A window that is gone by the time it registers again loses its earlier entry.
    TimeTools::RegisterTimeChangeListener(window.handle(), 0, kTimeChanged);
    ASSERT_TRUE(TimeTools::IsTimeChangeListener(window.handle()));
    window.End();
    TimeTools::RegisterTimeChangeListener(window.handle(), 0, kTimeChanged);
    EXPECT_FALSE(TimeTools::IsTimeChangeListener(window.handle()));
    EXPECT_EQ(TimeTools::GetTimeChangeNoticeThreadId(), 0u);
}

TEST_F(TimeChangeNoticesTest, TheNoticeFollowsAZoneLinkReplacedInTheWatchedFolder) {
    ListenerThread thread;
    TimeTools::RegisterTimeChangeListener({}, thread.id(), kTimeChanged);
    fs::create_symlink("/usr/share/zoneinfo/Europe/Berlin", zone_folder_.path() / "localtime.new");
    fs::rename(zone_folder_.path() / "localtime.new", zone_folder_.path() / "localtime");
    EXPECT_TRUE(thread.WaitFor(kTimeChanged, 1));
    TimeTools::RegisterTimeChangeListener({}, thread.id(), 0);
}

TEST_F(TimeChangeNoticesTest, TheRefreshReadsTheZoneAnew) {
    environment_.Set("TZ", "Europe/Berlin");
    TimeTools::RefreshTimeZone();
    DynamicTimeZoneInformation zone = TimeTools::GetDynamicTimeZoneInformation();
    EXPECT_EQ(zone.time_zone_key_name, "Europe/Berlin");
    EXPECT_EQ(zone.bias, -60);
    EXPECT_EQ(zone.daylight_bias, -60);
    EXPECT_EQ(zone.standard_name, "CET");
    EXPECT_EQ(zone.daylight_name, "CEST");
    EXPECT_EQ(TimeTools::GetPosixZoneText(zone),
              "Europe/Berlin1:0CEST1:0,M3.5.0/02:00:00,M10.5.0/03:00:00");

    ListenerThread thread;
    TimeTools::RegisterTimeChangeListener({}, thread.id(), kTimeChanged);
    environment_.Set("TZ", "America/St_Johns");
    PostTimeChange();
    ASSERT_TRUE(thread.WaitFor(kTimeChanged, 1));
    zone = TimeTools::GetDynamicTimeZoneInformation();
    EXPECT_EQ(zone.time_zone_key_name, "America/St_Johns");
    EXPECT_EQ(zone.bias, 210);
    EXPECT_EQ(zone.daylight_date.month, 3);
    EXPECT_EQ(zone.daylight_date.day, 2);
    EXPECT_EQ(zone.standard_date.month, 11);
    EXPECT_EQ(TimeTools::GetPosixZoneText(zone),
              "America/St_Johns-3:30NDT1:0,M3.2.0/02:00:00,M11.1.0/02:00:00");
    const int32_t bias = TimeTools::GetBiasSeconds();
    EXPECT_TRUE(bias == -12600 || bias == -9000) << bias;
    TimeTools::RegisterTimeChangeListener({}, thread.id(), 0);

    // Without daylight time there is no rule to write.
    environment_.Set("TZ", "Asia/Kolkata");
    TimeTools::RefreshTimeZone();
    zone = TimeTools::GetDynamicTimeZoneInformation();
    EXPECT_EQ(zone.bias, -330);
    EXPECT_EQ(zone.daylight_date.month, 0);
    EXPECT_EQ(TimeTools::GetPosixZoneText(zone), "");
}

TEST_F(TimeChangeNoticesTest, AWindowHearsOfAChangedShiftUntilItIsGone) {
    platform::ManualClock clock(platform::WallTime(std::chrono::seconds(1796716527)));
    platform::ScopedClockOverride use_clock(clock);
    TimeTools::ResetServerTimeShift();
    WindowChild window;
    TimeTools::RegisterShiftListener(window.handle(), 0, WM_TIMETOOLS_TIME_CHANGED);
    ASSERT_TRUE(TimeTools::IsShiftListener(window.handle()));

    clock.Advance(std::chrono::seconds(30));
    TimeTools::ApplyServerTime("2026-12-08T07:55:27");
    EXPECT_THAT(window.ReadLine(testing::kPatience), Optional(std::string("posted 0x48F 0 0")));

    window.End();
    TimeTools::NotifyShiftListeners();
    EXPECT_FALSE(TimeTools::IsShiftListener(window.handle()));
    TimeTools::ResetServerTimeShift();
}

}  // namespace
}  // namespace ruzd::foundation
