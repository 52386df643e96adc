// The watchdog program as it runs: started as a child process in a root of the test's own, seen
// through its window, its log, its event store and its sockets.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "foundation/system_time.h"
#include "platform/event_log.h"
#include "platform/named_mutex.h"
#include "platform/stop_signals.h"
#include "platform/window_message.h"
#include "testing/child_program.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/node_program.h"
#include "testing/os_for_tests.h"
#include "testing/small_tmpfs.h"
#include "testing/syslog_line.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"
#include "testing/unix_sockets.h"
#include "watchdog/option_reader.h"

namespace ruzd::watchdog {
namespace {

using testing::CountOf;
using testing::Eventually;
using testing::TormbelProcess;

constexpr uint32_t kHeartbeat = 0x160F;
constexpr uint32_t kQueryOpen = 0x0013;
constexpr uint32_t kReplyTimeoutMs = 10000;
constexpr const char* kFastClock = "RUZD_TIME_SCALE=10";
const int kTerminate = platform::SignalNumber(platform::StopSignal::kTerminate);

std::string Port(uint16_t port) {
    return std::to_string(port);
}

class TormbelProgramTest : public ::testing::Test {
protected:
    std::unique_ptr<TormbelProcess> Start(std::vector<std::string> arguments,
                                          const std::string& folder = "dog",
                                          std::vector<std::string> environment = {}) {
        return std::make_unique<TormbelProcess>(root_.path(), work_.path() / folder,
                                                std::move(arguments), std::move(environment));
    }

    // The watchdog's window, once it is there.
    platform::WindowHandle Window() {
        platform::WindowHandle window;
        Eventually([&] { return static_cast<bool>(window = platform::FindWindow("Tormbel")); });
        return window;
    }

    intptr_t Send(const platform::WindowHandle& window, uint32_t message) {
        intptr_t result = -1;
        EXPECT_TRUE(platform::SendMessageTimeout(window, message, 0, 0, kReplyTimeoutMs, &result));
        return result;
    }

    std::string Title(const platform::WindowHandle& window) {
        std::string title;
        platform::GetWindowText(window, title);
        return title;
    }

    testing::TempRoot root_;
    testing::TempDir work_;
};

TEST_F(TormbelProgramTest, ARefusedStartShowsItsMessageEndsWithOneAndWritesNoLog) {
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
        size_t usages;
    };
    const std::vector<Case> cases = {
        {{"-I30", "-B"}, "Tormbel: The value for i should be bigger than 30 seconds!", 0},
        {{"-I60", "-U"}, "Tormbel: Please specify at least 1 action to perform at timeout:", 1},
        {{"-J", "-B"}, "Tormbel: Usage : Tormbel -Bb -Aa -Oo", 1},
        {{"-I60", "-Ctrue", "-Q9600", "-V127.0.0.1,10.0.0.300"},
         "Tormbel: The value for v should list addresses or ranges (a.b.c.d or a.b.c.d/n), not "
         "'10.0.0.300'",
         0},
    };
    int folder = 0;
    for (const Case& c : cases) {
        auto dog = Start(c.arguments, "refused" + std::to_string(++folder));
        EXPECT_EQ(dog->WaitForExit(), 1);
        const std::string errors = dog->Stderr();
        EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
        EXPECT_EQ(CountOf(errors, "Usage : Tormbel"), c.usages);
        // The usage keeps its lines and tabs: a line per option.
        if (c.usages > 0) {
            EXPECT_NE(("\n" + errors).find("\nTormbel: " + UsageText() + "\n"), std::string::npos)
                << errors;
            EXPECT_NE(errors.find("\nwhere B\t= at timeout, reboot the system\n"),
                      std::string::npos)
                << errors;
        }
        EXPECT_FALSE(dog->HasLog());
    }
}

TEST_F(TormbelProgramTest, AnswersHeartbeatsPausesOnOpenRefusesASecondInstanceAndStopsOnSigterm) {
    auto dog = Start({"-I60", "-U", "-Ctrue"});
    const platform::WindowHandle window = Window();
    ASSERT_TRUE(window);
    // Not yet started (2) until the first show has been handled.
    EXPECT_TRUE(Eventually([&] { return Send(window, kHeartbeat) == 1; }));

    auto second = Start({"-I60", "-U", "-Ctrue"}, "second");
    EXPECT_EQ(second->WaitForExit(), 1);
    EXPECT_NE(second->Stderr().find("Tormbel is already running!"), std::string::npos);
    EXPECT_FALSE(second->HasLog());

    EXPECT_EQ(Send(window, kQueryOpen), 0);
    EXPECT_EQ(Title(window), "Tormbel - PAUSED");
    EXPECT_EQ(Send(window, kHeartbeat), 2);
    EXPECT_EQ(Send(window, kQueryOpen), 0);
    EXPECT_EQ(Send(window, kHeartbeat), 1);

    dog->Signal(kTerminate);
    EXPECT_EQ(dog->WaitForExit(), 0);
    const std::string log = dog->Log();
    EXPECT_NE(log.find("Tormbel was started, CommandLine="), std::string::npos);
    EXPECT_NE(log.find(" -I60 -U -Ctrue\r\n"), std::string::npos);
    EXPECT_NE(log.find("Tormbel was stopped\r\n"), std::string::npos);
    EXPECT_EQ(testing::StoredEventIds(), (std::vector<uint32_t>{1001, 1003, 1004, 1002}));
    platform::NamedMutex lock("Global\\Tormbel");
    EXPECT_EQ(lock.TryAcquire(), platform::NamedMutex::Acquire::kAcquired);
}

TEST_F(TormbelProgramTest, AFifoInTheLogsPlaceIsNamedOnceAndTheWatchdogRunsWithoutIt) {
    std::filesystem::create_directories(work_.path() / "fifo");
    ASSERT_TRUE(testing::MakeFifo((work_.path() / "fifo" / "Tormbel.log").string()));
    auto dog = Start({"-I60", "-U", "-Ctrue"}, "fifo");
    const platform::WindowHandle window = Window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(Eventually([&] { return Send(window, kHeartbeat) == 1; }));
    dog->Signal(kTerminate);
    EXPECT_EQ(dog->WaitForExit(), 0);
    const std::string errors = dog->Stderr();
    const std::string told = "Tormbel: " + (work_.path() / "fifo" / "Tormbel.log").string() +
                             " cannot be opened (not a regular file): its lines are lost\n";
    EXPECT_EQ(CountOf(errors, told), 1u) << errors;
}

// The log on a full disk, for real: the working folder lies on a small tmpfs that the test
// fills up. The watchdog goes on with its time-outs, says once on its error output and in syslog
// that its lines are lost, and once there is room again its log says how many were.
TEST_F(TormbelProgramTest, LinesThatFindNoRoomAreToldOnceAndCountedOnceThereIsRoom) {
    ASSERT_TRUE(testing::RunningAsRoot()) << "only root may mount a tmpfs";
    const std::filesystem::path folder = work_.path() / "full";
    testing::SmallTmpfs disk(folder, 1 << 20);
    ASSERT_TRUE(disk.mounted());
    // Full from the start: a log with room left on its last page would take lines a while yet.
    disk.FillUp();
    // The error output and syslog lie beside the full disk, where the test reads them.
    testing::TempDir outputs;
    testing::DatagramSink syslog(outputs.path() / "log.socket");
    ASSERT_TRUE(syslog.bound());
    TormbelProcess dog(root_.path(), folder, {"-I31", "-U", "-N", "-Ctrue"},
                       {kFastClock, "RUZD_SYSLOG_SOCKET=" + syslog.path().string()}, {}, 0, {},
                       outputs.path());
    const auto timeouts = [] {
        const std::vector<uint32_t> ids = testing::StoredEventIds();
        return static_cast<size_t>(std::count(ids.begin(), ids.end(), 1005u));
    };
    const std::string alert = "Lines cannot be written to " + (folder / "Tormbel.log").string() +
                              " (No space left on device): they are lost until they can";
    // Syslog's lines are taken as they come: a socket that holds a few unread ones drops more.
    size_t alerts_in_syslog = 0;
    const auto read_syslog = [&] {
        while (const std::optional<std::string> datagram =
                   syslog.Receive(std::chrono::milliseconds(10))) {
            const std::optional<testing::SyslogLine> line = testing::ParseSyslogLine(*datagram);
            ASSERT_TRUE(line) << *datagram;
            const bool told =
                line->message == alert && line->tag == "Tormbel" && line->priority % 8 == 3;
            alerts_in_syslog += told ? 1 : 0;
        }
    };
    ASSERT_TRUE(Eventually([&] {
        read_syslog();
        return dog.Stderr().find(alert) != std::string::npos;
    })) << dog.Stderr();
    // Time-outs go on meanwhile, their lines lost: two of them at least.
    const size_t before = timeouts();
    ASSERT_TRUE(Eventually([&] {
        read_syslog();
        return timeouts() >= before + 2;
    }));
    EXPECT_EQ(CountOf(dog.Stderr(), alert), 1u) << dog.Stderr();
    EXPECT_EQ(alerts_in_syslog, 1u);

    disk.MakeRoom();
    const std::string note =
        " lines of this log could not be written (No space left on device) and are lost\r\n";
    ASSERT_TRUE(dog.WaitForLog(note)) << dog.Stderr();
    ASSERT_TRUE(Eventually([&] {
        const std::string log = dog.Log();
        return log.find("LOCAL TIMEOUT", log.rfind(note)) != std::string::npos;
    }));
    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
    const std::string log = dog.Log();
    // The note is the log's first line: its time stamp, the count and the text. Each time-out's
    // lines at least are counted: the time-out, its event, the command's start and end.
    const size_t at = log.find(note);
    ASSERT_EQ(log.find("\r\n") + 2, at + note.size()) << log;
    const std::string count = log.substr(24, at - 24);
    ASSERT_EQ(count.find_first_not_of("0123456789"), std::string::npos) << log;
    EXPECT_GE(std::stoull(count), 8u) << log;
    EXPECT_EQ(CountOf(dog.Stderr(), alert), 1u) << dog.Stderr();
}

// The event log's store a FIFO that nobody reads, full, and the file that plays the watchdog
// card a FIFO: the start's report would wait there for ever, and so would the card's first
// read. The watchdog starts, answers heartbeats and stops, naming each once.
TEST_F(TormbelProgramTest, FifosInPlaceOfTheEventLogAndTheCardAreNamedOnceAndPassedBy) {
    const std::filesystem::path store = root_.path() / "eventlog" / "Application.events";
    std::filesystem::create_directories(store.parent_path());
    testing::FullFifo fifo(store);
    ASSERT_TRUE(fifo.valid());
    const std::filesystem::path card = work_.path() / "card";
    ASSERT_TRUE(testing::MakeFifo(card));
    auto dog =
        Start({"-I60", "-U", "-Ctrue", "-D"}, "dog", {"RUZD_WATCHDOG_DEVICE=" + card.string()});
    const platform::WindowHandle window = Window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(Eventually([&] { return Send(window, kHeartbeat) == 1; }));
    EXPECT_EQ(Send(window, kHeartbeat), 1);
    dog->Signal(kTerminate);
    EXPECT_EQ(dog->WaitForExit(), 0);
    const std::string errors = dog->Stderr();
    EXPECT_EQ(CountOf(errors, "Tormbel: Event log " + store.string() +
                                  " cannot be opened (not a regular file): its events go to "
                                  "syslog only\n"),
              1u)
        << errors;
    EXPECT_EQ(CountOf(errors, "Tormbel: " + card.string() +
                                  ": not a regular file, taken for no watchdog card\n"),
              1u)
        << errors;
    EXPECT_NE(dog->Log().find("Tormbel was stopped\r\n"), std::string::npos);
}

TEST_F(TormbelProgramTest, LogLinesCarryUtcWhateverTheTimeZone) {
    auto dog = Start({"-I60", "-U", "-Ctrue"}, "dog", {"TZ=Pacific/Kiritimati"});
    ASSERT_TRUE(Window());
    dog->Signal(kTerminate);
    EXPECT_EQ(dog->WaitForExit(), 0);
    const std::string log = dog->Log();
    foundation::SystemTime stamp;
    unsigned year, month, day, hour, minute, second, milliseconds;
    ASSERT_EQ(std::sscanf(log.c_str(), "%4u-%2u-%2u %2u:%2u:%2u.%3u", &year, &month, &day, &hour,
                          &minute, &second, &milliseconds),
              7);
    stamp.year = static_cast<uint16_t>(year);
    stamp.month = static_cast<uint16_t>(month);
    stamp.day = static_cast<uint16_t>(day);
    stamp.hour = static_cast<uint16_t>(hour);
    stamp.minute = static_cast<uint16_t>(minute);
    stamp.second = static_cast<uint16_t>(second);
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    // Fourteen hours off would be the local time; the line is within minutes of UTC.
    EXPECT_LT(std::llabs(now - foundation::SecondsSinceEpoch(stamp)), 600) << log;
}

class TormbelWithNodeTest : public testing::NodeProgramTest {};

TEST_F(TormbelWithNodeTest, TheNodesHeartbeatHoldsTheCountdownOffUntilTheNodeDies) {
    environment_.Set("RUZD_TIME_SCALE", "10");
    auto node = StartNode({"-debug", "-d"});
    // The watchdog counts from its start: it starts once the node runs, so that no slow start of
    // the node uses up its countdown (12 seconds here), which leaves a slow build room too.
    ASSERT_TRUE(node->WaitForLog("(No Tormbel instance found)"));
    TormbelProcess dog(root_.path(), work_.path() / "dog", {"-I120", "-U", "-Ctrue"}, {kFastClock});
    EXPECT_TRUE(node->WaitForLog("to 1 (Tormbel is running and active)"));
    const platform::WindowHandle window = platform::FindWindow("Tormbel");
    ASSERT_TRUE(window);
    // The countdown as the title shows it goes back up with every heartbeat.
    EXPECT_TRUE(testing::WaitForCountdownResets(window, 3));
    EXPECT_EQ(dog.Log().find("LOCAL TIMEOUT"), std::string::npos);

    node->Signal(SIGKILL);
    EXPECT_TRUE(dog.WaitForLog("***** Tormbel LOCAL TIMEOUT *****"));
    EXPECT_TRUE(Eventually([] {
        const std::vector<uint32_t> ids = testing::StoredEventIds();
        return std::find(ids.begin(), ids.end(), 1005u) != ids.end();
    }));
    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
    EXPECT_NE(dog.Log().find("Tormbel was stopped"), std::string::npos);
}

class TormbelPeerTest : public ::testing::Test {
protected:
    testing::TempRoot root_;
    // The peers' machine: a root of their own, so that they are not a second instance.
    testing::TempDir peer_root_;
    testing::TempDir work_;
};

TEST_F(TormbelPeerTest, APeerOnAnotherAddressHoldsTheRemoteTimeoutOffOneOnLoopbackDoesNot) {
    const uint16_t server_port = testing::FreePort();
    // The peer comes first, so that its heartbeats flow from the watchdog's first second on.
    auto peer = std::make_unique<TormbelProcess>(
        peer_root_.path(), work_.path() / "peer",
        std::vector<std::string>{"-I60", "-U", "-G1", "-A127.0.0.2", "-O" + Port(server_port),
                                 "-Q" + Port(testing::FreePort())},
        std::vector<std::string>{kFastClock});
    TormbelProcess dog(
        root_.path(), work_.path() / "dog",
        {"-I60", "-U", "-A127.0.0.1", "-O" + Port(testing::FreePort()), "-Q" + Port(server_port)},
        {kFastClock});
    {
        // Two local time-outs: more than a countdown has passed with the peer's heartbeats.
        EXPECT_TRUE(dog.WaitForLog("***** Tormbel LOCAL TIMEOUT *****", 2));
        EXPECT_EQ(dog.Log().find("REMOTE TIMEOUT"), std::string::npos);
        peer->Kill();
        EXPECT_TRUE(dog.WaitForLog("***** Tormbel REMOTE TIMEOUT *****"));
    }
    const size_t before = CountOf(dog.Log(), "REMOTE TIMEOUT");
    TormbelProcess loopback_peer(peer_root_.path(), work_.path() / "loopback",
                                 {"-I60", "-U", "-G1", "-A127.0.0.1", "-O" + Port(server_port),
                                  "-Q" + Port(testing::FreePort())},
                                 {kFastClock});
    EXPECT_TRUE(dog.WaitForLog("***** Tormbel REMOTE TIMEOUT *****", before + 2));
}

TEST_F(TormbelPeerTest, AnEventMonitorGetsTheHeartbeatsAtMostElevenOfThemQueuedWhenItIsLate) {
    const uint16_t monitor_port = testing::FreePort();
    TormbelProcess dog(
        root_.path(), work_.path() / "dog",
        {"-I60", "-U", "-A127.0.0.1", "-O" + Port(monitor_port), "-Q" + Port(testing::FreePort())});
    platform::WindowHandle window;
    ASSERT_TRUE(
        Eventually([&] { return static_cast<bool>(window = platform::FindWindow("Tormbel")); }));
    const auto heartbeat = [&window] {
        intptr_t result = 0;
        EXPECT_TRUE(
            platform::SendMessageTimeout(window, kHeartbeat, 0, 0, kReplyTimeoutMs, &result));
        return result;
    };
    ASSERT_TRUE(Eventually([&] { return heartbeat() == 1; }));
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(heartbeat(), 1);
    }
    testing::RawListener monitor(monitor_port);
    ASSERT_TRUE(monitor.valid());
    int late = 0;
    testing::RawConnection connection;
    ASSERT_TRUE(Eventually([&] {
        heartbeat();
        ++late;
        connection = monitor.Accept(std::chrono::milliseconds(200));
        return connection.valid();
    }));
    std::string received;
    EXPECT_TRUE(Eventually([&] {
        const std::vector<uint8_t> bytes = connection.ReadSome(std::chrono::milliseconds(200));
        received.append(bytes.begin(), bytes.end());
        return CountOf(received, "HEARTBEAT") >= 11;
    }));
    EXPECT_EQ(received.size() % 9, 0u);
    EXPECT_LE(CountOf(received, "HEARTBEAT"), 11u + static_cast<size_t>(late));

    connection.Close();
    monitor.Close();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(heartbeat(), 1);
    }
    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
}

}  // namespace
}  // namespace ruzd::watchdog
