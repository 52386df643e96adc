// The manager's one-second tick with a clock the test moves: the status texts, the heartbeat to
// a real watchdog window in a child process, its end after ten minutes without a command, the
// listener restarts of the first minutes and the nightly clean-up.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/debug_log.h"
#include "node/tormbel_status.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/crt_file.h"
#include "platform/crt_flags.h"
#include "platform/local_time.h"
#include "telephony/aculab_cards.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/manager_on_boards.h"

namespace ruzd::node {
namespace {

using ruzd::testing::ChildProgram;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::Optional;

// The watchdog's window in a child process; ready once its window exists.
class TormbelWindow : public ChildProgram {
public:
    explicit TormbelWindow(const std::string& reply, bool hang = false)
        : ChildProgram("node_tormbel_window_child", hang ? std::vector<std::string>{reply, "hang"}
                                                         : std::vector<std::string>{reply}) {
        EXPECT_THAT(ReadLine(), Optional(std::string("ready")));
    }

    // Ends the child and returns the number of heartbeats it answered.
    int Heartbeats() {
        CloseStdin();
        int count = 0;
        while (const auto line = ReadLine()) {
            EXPECT_EQ(*line, "sent 0x160F 0 0");
            ++count;
        }
        return count;
    }
};

// Seconds since 1970 of a local time of day, 10 March 2031.
int64_t LocalTime(int hour, int minute = 0, int second = 0) {
    return platform::UtcSecondsOfLocalTime(2031, 3, 10, hour, minute, second);
}

constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTGR = 13;

platform::WallTime AtSeconds(int64_t seconds) {
    return platform::WallTime{} + std::chrono::seconds(seconds);
}

class ManagerTickTest : public testing::ManagerOnBoardsTest {
protected:
    ManagerTickTest() { StartDebugLog(); }

    // A manager built and started at `start` (seconds since 1970), with the default start-up
    // delay of 4 seconds.
    void Start(int64_t start = LocalTime(12), const ManagerSettings& settings = {}) {
        start_ = start;
        clock_.SetNow(AtSeconds(start));
        ManagerOnBoardsTest::Start(settings);
    }

    // One tick, `seconds` after the start.
    void TickAt(int64_t seconds) {
        clock_.SetNow(AtSeconds(start_ + seconds));
        manager_->OnTick();
    }

    // A keep-alive accepted from the central server `seconds` after the start.
    void CommandAt(int64_t seconds) {
        clock_.SetNow(AtSeconds(start_ + seconds));
        ConnectCentral();
    }

    // The debug log's lines so far; the log ends with this.
    std::vector<std::string> LogLines() {
        foundation::StopDebugLog();
        return ManagerOnBoardsTest::LogLines();
    }

    static size_t CountEnding(const std::vector<std::string>& lines, const std::string& end) {
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
            return l.size() >= end.size() && l.compare(l.size() - end.size(), end.size(), end) == 0;
        }));
    }

    int64_t start_ = 0;
};

TEST(TormbelStatusText, EveryStatusHasItsTextAndAnythingElseIsAQuestionMark) {
    EXPECT_STREQ(GetTormbelStatusText(-1000), "Tormbel status not checked yet");
    EXPECT_STREQ(GetTormbelStatusText(-2), "Notifying Tormbel disabled");
    EXPECT_STREQ(GetTormbelStatusText(-1), "No Tormbel instance found");
    EXPECT_STREQ(GetTormbelStatusText(0), "Old Tormbel found, which doesn't report status");
    EXPECT_STREQ(GetTormbelStatusText(1), "Tormbel is running and active");
    EXPECT_STREQ(GetTormbelStatusText(2), "Tormbel is running but paused");
    EXPECT_STREQ(GetTormbelStatusText(3), "?");
    EXPECT_STREQ(GetTormbelStatusText(-3), "?");
}

TEST_F(ManagerTickTest, BeforeItIsInitialisedTheTickDoesNothing) {
    CVesmarinManager manager{ManagerSettings{}};
    manager.OnTick();
    EXPECT_EQ(manager.TormbelStatus(), kTormbelNotCheckedYet);
}

TEST_F(ManagerTickTest, TheStartUpDelayOnlyCountsDown) {
    TormbelWindow tormbel("1");
    Start();
    for (int64_t second = 0; second < 4; ++second) {
        TickAt(second);
    }
    EXPECT_THAT(callback_.TakeTexts(), ElementsAre("Waiting 4 sec ...", "Waiting 3 sec ...",
                                                   "Waiting 2 sec ...", "Waiting 1 sec ..."));
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotCheckedYet);
    EXPECT_EQ(tormbel.Heartbeats(), 0);
}

TEST_F(ManagerTickTest, BeforeTheFirstCommandItIsConnectingWithAHeartbeatEvery20Seconds) {
    TormbelWindow tormbel("1");
    Start();
    // Contacts at 4, 25 and 46 seconds: the next one is due once 20 seconds have passed.
    for (int64_t second = 4; second <= 46; ++second) {
        TickAt(second);
        EXPECT_THAT(callback_.LastText(), Optional(std::string("Connecting")));
    }
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelRunning);
    EXPECT_EQ(tormbel.Heartbeats(), 3);
    const auto lines = LogLines();
    EXPECT_EQ(CountEnding(lines,
                          "Tormbel: Status changed changed from -1000 (Tormbel status not "
                          "checked yet) to 1 (Tormbel is running and active)"),
              1u);
    EXPECT_EQ(CountEnding(lines, "(Tormbel is running and active)"), 1u)
        << "a running watchdog is not mentioned again";
}

TEST_F(ManagerTickTest, APausedWatchdogIsWarnedAboutOnEveryContact) {
    TormbelWindow tormbel("2");
    Start();
    TickAt(4);
    TickAt(25);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelPaused);
    EXPECT_EQ(tormbel.Heartbeats(), 2);
    EXPECT_THAT(LogLines(),
                Contains(EndsWith("WARNING: Current Tormbel status is 2 (Tormbel is running but "
                                  "paused)")));
}

TEST_F(ManagerTickTest, AfterACommandTheNodeIsStartingReadyOrClosing) {
    Start();
    // The connection stays open: closed, it would shut the workers down whenever its close
    // reached the node, racing the worker this test starts.
    clock_.SetNow(AtSeconds(start_ + 10));
    const std::unique_ptr<testing::CommandPeer> peer = ConnectCentral();
    TickAt(10);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Starting")));
    TickAt(20);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Starting")));
    // Ready once the file-handling worker runs.
    manager_->StartAllThreads();
    ASSERT_TRUE(testing::Eventually([&] { return manager_->IsFileHandlingThreadRunning(); }));
    TickAt(40);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Ready")));

    foundation::AppHooks app;
    foundation::ScopedApp installed(app);
    app.SetClosing(true);
    TickAt(40);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Closing")));
    // 31 seconds without a command: waiting for the central server again.
    TickAt(41);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Connecting")));
}

TEST_F(ManagerTickTest, TheHeartbeatGoesOnUntil600SecondsAfterTheLastCommand) {
    TormbelWindow tormbel("1");
    Start();
    CommandAt(10);
    TickAt(589);  // contact
    TickAt(610);  // contact, 600 seconds after the command
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelRunning);
    EXPECT_EQ(tormbel.Heartbeats(), 2);
}

TEST_F(ManagerTickTest, At601SecondsTheHeartbeatStopsWithItsWarningOnEveryContact) {
    TormbelWindow tormbel("1");
    Start();
    CommandAt(10);
    TickAt(11);   // contact
    TickAt(611);  // 601 seconds after the command
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotifyDisabled);
    TickAt(631);  // too early
    TickAt(632);
    TickAt(653);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotifyDisabled);

    // A later command brings the heartbeat back.
    CommandAt(660);
    TickAt(674);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelRunning);
    EXPECT_EQ(tormbel.Heartbeats(), 2);

    const auto lines = LogLines();
    EXPECT_EQ(CountEnding(lines,
                          "WARNING: Notifying Tormbel disabled: More than 10 minutes no "
                          "connection to Central Orvanthella anymore."),
              3u);
    EXPECT_EQ(CountEnding(lines,
                          "Tormbel: Status changed changed from 1 (Tormbel is running and "
                          "active) to -2 (Notifying Tormbel disabled)"),
              1u);
    EXPECT_EQ(CountEnding(lines,
                          "WARNING: Current Tormbel status is -2 (Notifying Tormbel "
                          "disabled)"),
              2u);
}

TEST_F(ManagerTickTest, AStrangersCommandsNeitherStopTheHeartbeatNorMuteTheNode) {
    TormbelWindow tormbel("1");
    Start();
    // A connection whose CNINIT was refused (no file connection is authorised): its keep-alive
    // is answered, and that is all.
    clock_.SetNow(AtSeconds(start_ + 10));
    const std::unique_ptr<testing::CommandPeer> stranger = Connect();
    clock_.SetNow(AtSeconds(start_ + 20));
    stranger->SendInit(2);
    stranger->SendInts(kCNSTGR, 3, {});
    stranger->SendInts(kCNPING, 4, {3});
    EXPECT_EQ(stranger->ReceiveInts(), (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(callback_.stops(), 0);

    TickAt(21);   // contact
    TickAt(611);  // 601 seconds after the stranger's keep-alive
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelRunning);
    EXPECT_EQ(tormbel.Heartbeats(), 2);
    EXPECT_EQ(CountEnding(LogLines(), "CNSTGR ignored: not from the central server's connection"),
              1u);
}

TEST_F(ManagerTickTest, WithoutAWatchdogTheStatusIsMinusOneWithAWarningOnEveryContact) {
    Start();
    TickAt(4);
    TickAt(25);
    TickAt(46);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotFound);
    const auto lines = LogLines();
    EXPECT_EQ(CountEnding(lines,
                          "Tormbel: Status changed changed from -1000 (Tormbel status not "
                          "checked yet) to -1 (No Tormbel instance found)"),
              1u);
    EXPECT_EQ(
        CountEnding(lines, "WARNING: Current Tormbel status is -1 (No Tormbel instance found)"),
        2u);
}

TEST_F(ManagerTickTest, AHungWatchdogCostsTheTickOnlyTheReplyTimeOut) {
    TormbelWindow tormbel("1", /*hang=*/true);
    Start();
    manager_->Tormbel().SetReplyTimeoutMs(200);
    TickAt(4);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotFound);
    EXPECT_THAT(callback_.LastText(), Optional(std::string("Connecting")));
}

TEST_F(ManagerTickTest, AWatchdogThatStartsLaterIsFoundOnTheNextContact) {
    Start();
    TickAt(4);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelNotFound);
    TormbelWindow tormbel("1");
    TickAt(25);
    EXPECT_EQ(manager_->TormbelStatus(), kTormbelRunning);
    EXPECT_EQ(tormbel.Heartbeats(), 1);
}

TEST_F(ManagerTickTest, TheListenerRestartsFrom61To299SecondsWhileNobodyIsConnected) {
    Start();
    for (int64_t second : {60, 61, 299, 300}) {
        TickAt(second);
    }
    // It still listens after its restarts.
    CommandAt(301);
    const auto lines = LogLines();
    EXPECT_EQ(CountEnding(lines, "SOCKET RESET2!!"), 2u);
}

TEST_F(ManagerTickTest, TheListenerIsNotRestartedWithinHalfAMinuteOfACommand) {
    Start();
    CommandAt(70);
    TickAt(71);
    TickAt(100);
    EXPECT_EQ(CountEnding(LogLines(), "SOCKET RESET2!!"), 0u);
}

TEST_F(ManagerTickTest, TheCleanUpRunsAtTwoAfterAMidnightTickOnlyOncePerNight) {
    Start(LocalTime(1, 59, 50));
    manager_->VirtualFiles().AddVoiceFile(1, 11, "c:\\Prompts\\Hello.vox");
    // Record files are closed for real at shut-down: their handles must be the test's own files,
    // never descriptors the process uses for something else.
    const uint32_t create = platform::kCrtWriteOnly | platform::kCrtCreate;
    const uint32_t writable = platform::kCrtPermissionRead | platform::kCrtPermissionWrite;
    const int32_t first = platform::CrtOpen("C:\\tick-record-1.wav", create, writable);
    const int32_t second = platform::CrtOpen("C:\\tick-record-2.wav", create, writable);
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    manager_->VirtualFiles().AddRecordFile(2, first, "c:\\Rec\\Call.wav");
    manager_->VirtualFiles().AddRecordFile(3, second, "C:\\PROMPTS\\HELLO.VOX");
    TickAt(20);                                           // 02:00:10, never armed
    clock_.SetNow(AtSeconds(LocalTime(23, 59, 59) + 1));  // 00:00 of the next day
    manager_->OnTick();
    clock_.SetNow(AtSeconds(LocalTime(23, 59, 59) + 3600));  // 01:00
    manager_->OnTick();
    clock_.SetNow(AtSeconds(LocalTime(23, 59, 59) + 2 * 3600 + 1));  // 02:00
    manager_->OnTick();
    clock_.SetNow(AtSeconds(LocalTime(23, 59, 59) + 2 * 3600 + 2));
    manager_->OnTick();
    EXPECT_EQ(CountEnding(LogLines(), "open file handles 2"), 1u);
}

TEST_F(ManagerTickTest, TheAculabIpCardsStatisticsAreLoggedEveryMinute) {
    WriteConfig(
        "ip 0 0\naculab SER-DTI 7 ports=2 porttype=4 modules=1\n"
        "aculab SER-IP 0xF ports=1 porttype=36 modules=1\n");
    ManagerSettings settings;
    settings.aculabPath = telephony::CHardware::AculabPath::kSwitchedOnForTests;
    Start(LocalTime(12), settings);
    ASSERT_TRUE(telephony::SystemSnapShot());
    ASSERT_EQ(Control("iptstats SER-IP 10 2 3 40 5 6"), "OK");
    TickAt(10);
    TickAt(69);
    ASSERT_EQ(Control("iptstats SER-IP 11 2 3 41 5 6"), "OK");
    TickAt(71);
    const std::vector<std::string> lines = LogLines();
    // Only the IP card, on the first tick and a minute later.
    EXPECT_EQ(CountEnding(lines, "Board 1 with id 16385 Stats"), 2u);
    EXPECT_EQ(CountEnding(lines, "Packets In 10 Out 40"), 1u);
    EXPECT_EQ(CountEnding(lines, "Packets In 11 Out 41"), 1u);
    EXPECT_EQ(CountEnding(lines, "Discards In 2 Out 5"), 2u);
    EXPECT_EQ(CountEnding(lines, "Errors In 3 Out 6"), 2u);
    EXPECT_EQ(CountEnding(lines, "with id 16384 Stats"), 0u);
    telephony::CloseAllAculabCards();
}

}  // namespace
}  // namespace ruzd::node
