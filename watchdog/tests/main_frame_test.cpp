// The frame's watching logic, its ticks driven by the test: the window, the time-out actions and
// the card are fakes; the log, the event store and the registry are real, in folders of the test.

#include "watchdog/main_frame.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win_error.h"
#include "testing/loopback_socket.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "watchdog/option_reader.h"
#include "watchdog/tests/fake_frame_window.h"

namespace ruzd::watchdog {
namespace {

class FakeActions : public TimeoutActions {
public:
    void AfterLocalTimeout() override { ++local; }
    void AfterRemoteTimeout() override { ++remote; }
    void CloseCentralProgram() override { ++close_central; }
    int local = 0;
    int remote = 0;
    int close_central = 0;
};

class FakeCard : public WatchdogCard {
public:
    void Start() override { calls += "S"; }
    void Stop() override { calls += "P"; }
    void Kick() override { calls += "K"; }
    std::string calls;
};

class MainFrameTest : public ::testing::Test {
protected:
    // Seconds that no pulse of the tests divides.
    MainFrameTest() : clock_(platform::WallTime(std::chrono::seconds(1'000'000'007))) {}

    CMainFrame& Open(const std::vector<std::string>& arguments) {
        ReadCommandLine(arguments, options_);
        frame_ =
            std::make_unique<CMainFrame>(options_, flags_, window_, actions_, card_, watchers_);
        frame_->OnCreate("Tormbel");
        frame_->OnQueryOpen();
        return *frame_;
    }

    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) {
            frame_->OnTimer(TIMER_TORMBEL_TICK);
        }
    }

    std::string Log() const { return testing::ReadWholeFile(work_.path() / "Tormbel.log"); }

    testing::TempRoot root_;
    testing::TempWorkFolder work_;
    platform::ManualClock clock_;
    platform::ScopedClockOverride clock_override_{clock_};
    WatchdogOptions options_;
    WatchdogFlags flags_;
    FakeWindow window_;
    FakeActions actions_;
    FakeCard card_;
    DumpWatchers watchers_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(MainFrameTest,
       TheFirstLocalTimeoutComesOnTheTickAfterWaitAndCountdownThenEveryWaitAndCountdown) {
    Open({"-I31", "-W3", "-Ctrue"});
    Tick(3 + 31);
    EXPECT_EQ(actions_.local, 0);
    Tick();
    EXPECT_EQ(actions_.local, 1);
    EXPECT_NE(Log().find("***** Tormbel LOCAL TIMEOUT *****"), std::string::npos);
    Tick(3 + 31 - 1);
    EXPECT_EQ(actions_.local, 1);
    Tick();
    EXPECT_EQ(actions_.local, 2);
    EXPECT_EQ(testing::StoredEventIds(), (std::vector<uint32_t>{1001, 1005, 1005}));
    EXPECT_EQ(window_.titles[0], "Tormbel : WAITING (3s)");
    EXPECT_EQ(window_.titles[3], "Tormbel : 31s");
    EXPECT_EQ(actions_.remote, 0);
}

TEST_F(MainFrameTest, AHeartbeatInTheTickThatWouldTimeOutPreventsIt) {
    Open({"-I31", "-Ctrue"});
    Tick(31);
    EXPECT_EQ(frame_->OnHeartbeat(), kHeartbeatReplyRunning);
    Tick();
    EXPECT_EQ(actions_.local, 0);
    Tick(30);
    EXPECT_EQ(actions_.local, 0);
    Tick();
    EXPECT_EQ(actions_.local, 1);
}

TEST_F(MainFrameTest, APauseLastsTenCountdownsAndEndsByItselfWhileHeartbeatsAreAnsweredTwo) {
    Open({"-I31", "-Ctrue", "-D"});
    Tick();
    frame_->OnQueryOpen();
    EXPECT_FALSE(frame_->running());
    EXPECT_EQ(window_.titles.back(), "Tormbel - PAUSED");
    EXPECT_EQ(frame_->OnHeartbeat(), kHeartbeatReplyPaused);
    Tick(310);
    EXPECT_EQ(window_.titles.back(), "Tormbel : PAUSE (1s)");
    EXPECT_FALSE(frame_->running());
    Tick();
    EXPECT_TRUE(frame_->running());
    EXPECT_EQ(frame_->OnHeartbeat(), kHeartbeatReplyRunning);
    EXPECT_EQ(actions_.local, 0);
    EXPECT_NE(Log().find("Tormbel was put in pause"), std::string::npos);
    EXPECT_NE(Log().find("Tormbel was resumed from pause automatically after timeout"),
              std::string::npos);
    EXPECT_EQ(testing::StoredEventIds(), (std::vector<uint32_t>{1001, 1003, 1007}));
    // Started at the open and on the first counting tick, stopped by the pause, kicked by each
    // heartbeat.
    EXPECT_EQ(card_.calls, "SSPKK");
    frame_->OnQueryOpen();
    frame_->OnQueryOpen();
    EXPECT_EQ(testing::StoredEventIds(), (std::vector<uint32_t>{1001, 1003, 1007, 1003, 1004}));
}

TEST_F(MainFrameTest, ARemoteTimeoutNeedsAPeerAddressAndNoEventMonitor) {
    const uint16_t client_port = testing::FreePort();
    Open({"-I31", "-A127.0.0.1", "-O" + std::to_string(client_port), "-Q0"});
    Tick(32);
    EXPECT_EQ(actions_.remote, 1);
    EXPECT_EQ(window_.posted, std::vector<uint32_t>{WM_TORMBEL_REMOTE_TIMEOUT});
    EXPECT_NE(Log().find("***** Tormbel REMOTE TIMEOUT *****"), std::string::npos);
    EXPECT_EQ(frame_->remote_countdown(), 30);
    EXPECT_EQ(window_.titles[0], "Tormbel : 31s (31s)");
    // Data from a peer holds the remote countdown off.
    Tick(20);
    frame_->OnSocketReceive(9, nullptr);
    Tick(25);
    EXPECT_EQ(actions_.remote, 1);
}

TEST_F(MainFrameTest, WithoutAPeerAddressOrWithTheEventMonitorNoRemoteTimeoutComes) {
    Open({"-I31", "-B"});
    Tick(100);
    EXPECT_EQ(actions_.remote, 0);
    EXPECT_EQ(actions_.local, 3);
    EXPECT_EQ(window_.titles[0], "Tormbel : 31s");
}

TEST_F(MainFrameTest, WithTheEventMonitorNoRemoteTimeoutComesAndTheTitleShowsTheLocalCountdown) {
    Open({"-I31", "-E", "-O" + std::to_string(testing::FreePort()), "-Q0"});
    Tick(100);
    EXPECT_EQ(actions_.remote, 0);
    EXPECT_EQ(window_.titles[0], "Tormbel : 31s");
}

TEST_F(MainFrameTest, RemoteOnlyShowsTheRemoteCountdownAndAlertsFlashAndBeep) {
    Open({"-I31", "-R", "-X30", "-O" + std::to_string(testing::FreePort()), "-Q0"});
    Tick();
    EXPECT_EQ(window_.titles[0], "Tormbel : (31s)");
    EXPECT_EQ(window_.flashes, 0);
    Tick();
    EXPECT_EQ(window_.flashes, 2);
    EXPECT_EQ(window_.beeps, 1);
}

TEST_F(MainFrameTest, APulseFeedsTheFrameWhenTheSecondsAreAMultipleOfIt) {
    Open({"-I31", "-G20", "-Ctrue"});
    Tick();
    EXPECT_TRUE(window_.posted.empty());
    clock_.SetNow(platform::WallTime(std::chrono::seconds(1'000'000'020)));
    Tick();
    EXPECT_EQ(window_.posted, std::vector<uint32_t>{WM_TORMBEL_HEARTBEAT});
}

TEST_F(MainFrameTest, BusyTicksOnlyCountDown) {
    Open({"-I31", "-Ctrue"});
    flags_.busy = true;
    Tick(40);
    EXPECT_EQ(actions_.local, 0);
    EXPECT_TRUE(window_.titles.empty());
    EXPECT_EQ(frame_->local_countdown(), 31 - 40);
    flags_.busy = false;
    Tick();
    EXPECT_EQ(actions_.local, 1);
}

TEST_F(MainFrameTest, ClosingLogsTheStopAndClosesTheWindow) {
    Open({"-I31", "-Ctrue"});
    frame_->OnClose();
    EXPECT_TRUE(window_.closed);
    EXPECT_NE(Log().find("Tormbel was stopped"), std::string::npos);
    EXPECT_EQ(testing::StoredEventIds(), (std::vector<uint32_t>{1001, 1002}));
    EXPECT_TRUE(std::filesystem::is_directory(work_.path() / "Dumps"));
}

}  // namespace
}  // namespace ruzd::watchdog

namespace ruzd::watchdog {
namespace {

TEST_F(MainFrameTest, TheEventSourceIsRegisteredOnceWithItsMessageFileBesideTheProgram) {
    Open({"-I31", "-Ctrue"});
    CEventLog again(kEventSourceName, kEventCategoryCount, kEventMessageFile);
    platform::RegistryKey key;
    ASSERT_EQ(platform::RegistryKey::LocalMachine().OpenSubKey(
                  "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tormbel",
                  platform::RegAccess::kRead, &key),
              0u);
    uint32_t number = 0;
    uint32_t size = sizeof number;
    ASSERT_EQ(key.QueryValue("TypesSupported", nullptr, &number, &size), 0u);
    EXPECT_EQ(number, 7u);
    ASSERT_EQ(key.QueryValue("CategoryCount", nullptr, &number, &size), 0u);
    EXPECT_EQ(number, 2u);
    std::string bytes(512, '\0');
    size = static_cast<uint32_t>(bytes.size());
    uint32_t type = 0;
    ASSERT_EQ(key.QueryValue("EventMessageFile", &type, bytes.data(), &size), 0u);
    EXPECT_EQ(type, platform::kRegExpandSz);
    const std::string path = platform::Utf16leBytesToUtf8(bytes.substr(0, size - 2));
    EXPECT_EQ(std::filesystem::path(path).filename(), "TormbelEventLog.dll");
    std::string name;
    EXPECT_EQ(key.EnumValue(4, &name, nullptr, nullptr, nullptr),
              platform::WinError::kErrorNoMoreItems);
}

}  // namespace
}  // namespace ruzd::watchdog
