// The node program as a whole: started as a child process in a platform root of its own, with
// the simulated boards, and driven through its real command port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "foundation/registry.h"
#include "node/vesmarin_manager.h"
#include "platform/stop_signals.h"
#include "testing/child_program.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/node_program.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kCNPING = 12;
constexpr int32_t kUnusedCode = 24;
constexpr int32_t kCNSTRT = 15;
constexpr int kEntryExit = 255;  // the entry's -1 as an exit status

// The command port is chosen before the start and written into the registry, so that parallel
// tests never meet on one port.
class PelwixProgramTest : public testing::NodeProgramTest {
protected:
    // Longer than the ten seconds a connection may send nothing the node takes, so that a
    // connection made once the first is closed still finds it running; shorter than twice that,
    // so that the second outlives it.
    static constexpr int kLongDelaySeconds = 15;
    static constexpr const char* kAcceptingCommands =
        "Now accepting commands from central Orvanthella";

    static size_t CountOf(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(PelwixProgramTest, ListensOnTheRegistryPortAndWritesTheMissingFilePortBack) {
    auto node = StartNode({"-debug", "-d"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();

    foundation::CRegistry registry(node::kNodeRegistrySection);
    uint32_t port = 0;
    ASSERT_TRUE(registry.ReadDword(node::kLocalFileSocketTcpPortValue, &port));
    EXPECT_EQ(port, 9071u);
    ASSERT_TRUE(registry.ReadDword(node::kLocalTcpPortValue, &port));
    EXPECT_EQ(port, command_port_);
    EXPECT_TRUE(node->WaitForLog("Local TCP port set to: " + std::to_string(command_port_)));
    EXPECT_TRUE(
        node->WaitForLog("Could not find Local File Socket TCP port in registry.  Using default"));
}

TEST_F(PelwixProgramTest, ListensForFileTransfersOnTheRegistryFilePort) {
    const uint32_t filePort = testing::WriteFilePort();
    auto node = StartNode({"-debug", "-d"});
    testing::CommandPeer commands(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(commands.IsConnected()) << node->Stderr();
    // The file listener is made right after the command listener, so it is there by now. A
    // connection is kept once its handshake finished.
    auto files = testing::FilePeer::ConnectWhenListening(filePort);
    ASSERT_TRUE(files->Connected()) << node->Stderr();
    EXPECT_TRUE(files->Handshake(false)) << node->Stderr();
    EXPECT_TRUE(node->WaitForLog("Local File Socket TCP port set to: " + std::to_string(filePort)));

    // A clean stop also ends the file listener and its connection, and closes the log.
    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(node->WaitForExit(), kEntryExit);
    EXPECT_TRUE(files->WaitClosed());
    EXPECT_THAT(node->DebugLog(), HasSubstr("OnOrvanthellaFileSocketClose"));
    EXPECT_THAT(node->DebugLog(), HasSubstr("Log file closed"));
}

TEST_F(PelwixProgramTest, SecondNodeIsRefusedWithAFatalError) {
    auto first = StartNode({"-debug", "-d"}, "first");
    testing::CommandPeer peer(command_port_, [&] { return first->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << first->Stderr();

    auto second = StartNode({"-debug", "-d"}, "second");
    EXPECT_EQ(second->WaitForExit(), 1);
    EXPECT_THAT(second->Stderr(), HasSubstr("Another instance of the Pelwix is already running!"));
    EXPECT_THAT(second->DebugLog(),
                HasSubstr("FATAL ERROR: Another instance of the Pelwix is already running!"));
    EXPECT_THAT(second->DebugLog(), HasSubstr("Log file closed"));
    EXPECT_FALSE(first->HasEnded());
}

TEST_F(PelwixProgramTest, CommandsRunOnlyAfterTheStartupDelay) {
    // A delay far longer than the slowest start takes to listen: the commands sent at once
    // arrive within it however loaded the machine is.
    auto node = StartNode({"-debug", "-d", "-w" + std::to_string(kLongDelaySeconds)});
    testing::CommandPeer early(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(early.IsConnected()) << node->Stderr();

    // Dropped without a word; but a central server's keep-alive keeps its connection through
    // the whole delay, its ten seconds for strangers included...
    early.SendInts(kCNPING, 1, {101});
    early.Send(kUnusedCode, 2);
    // ...where a connection that sends nothing a central server may open with is closed after
    // ten seconds (with nothing unread on it).
    testing::CommandPeer idle(command_port_, [&] { return node->HasEnded(); });
    idle.Send(kUnusedCode, 3);
    ASSERT_TRUE(idle.ClosedByNode(testing::kPatience)) << node->Stderr();
    // Keep-alives until one is answered, the first after the delay.
    testing::CommandPeer& peer = early;
    ASSERT_TRUE(peer.AwaitCommandsAccepted([&] { return node->HasEnded(); })) << node->Stderr();
    ASSERT_TRUE(node->WaitForLog(kAcceptingCommands));
    const std::string log = node->DebugLog();
    // The early two came in before the delay ended, and neither ran.
    EXPECT_GE(CountOf(log.substr(0, log.find(kAcceptingCommands)), "OnSocketReceiveInfo"), 2u);
    EXPECT_THAT(log, Not(HasSubstr("CNPING value=101")));
    EXPECT_THAT(log, Not(HasSubstr("Unknown command: 24")));

    // Without an active connection a keep-alive is answered but no client is initialised, so
    // nothing comes between two echoes.
    peer.SendInts(kCNPING, 3, {103});
    peer.SendInts(kCNPING, 4, {104});
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 103}));
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 104}));
}

TEST_F(PelwixProgramTest, TheOneSecondTimerFeedsTheWatchdogWindow) {
    // The watchdog's window, answering "running".
    testing::ChildProgram tormbel("node_tormbel_window_child", {"1"});
    ASSERT_EQ(tormbel.ReadLine(), std::optional<std::string>("ready"));
    auto node = StartNode({"-debug", "-d"});
    // The first heartbeat follows the start-up delay of four seconds.
    EXPECT_EQ(tormbel.ReadLine(testing::kPatience), std::optional<std::string>("sent 0x160F 0 0"))
        << node->Stderr();
    EXPECT_TRUE(
        node->WaitForLog("Tormbel: Status changed changed from -1000 (Tormbel status not "
                         "checked yet) to 1 (Tormbel is running and active)"));
}

TEST_F(PelwixProgramTest, UnknownAndUnacceptedCommandsAreLoggedAndTheConnectionKept) {
    auto node = StartNode({"-debug", "-d", "-w1"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    ASSERT_TRUE(peer.AwaitCommandsAccepted([&] { return node->HasEnded(); })) << node->Stderr();

    peer.Send(kUnusedCode, 7);
    peer.Send(999, -1);
    peer.Send(kCNSTRT, 8);
    EXPECT_TRUE(node->WaitForLog("Unknown command: 24"));
    EXPECT_TRUE(node->WaitForLog("Unknown command: 999"));
    // CNSTRT is known but needs an active connection.
    EXPECT_TRUE(node->WaitForLog("command: 15 ignored."));
    // An id of -1 stands for "no command": the line carries the call id of none.
    EXPECT_THAT(node->DebugLog(), Not(HasSubstr("-1 So")));

    // The connection is kept: its keep-alive is answered (after those the wait for the delay
    // sent).
    peer.SendInts(kCNPING, 9, {5});
    bool answered = false;
    while (std::optional<std::vector<int32_t>> reply = peer.ReceiveInts()) {
        ASSERT_EQ(reply->front(), 1);
        if (*reply == std::vector<int32_t>{1, 5}) {
            answered = true;
            break;
        }
    }
    EXPECT_TRUE(answered);
}

class PelwixStopTest : public PelwixProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(PelwixStopTest, StopsCleanlyAndClosesTheLog) {
    auto node = StartNode({"-debug", "-d", "-w1"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    // Answered, so taken by the node: a connection still waiting in the listener's backlog when
    // the listener closes is reset by the system, not closed by the node.
    ASSERT_TRUE(peer.AwaitCommandsAccepted([&] { return node->HasEnded(); })) << node->Stderr();

    node->Signal(GetParam());
    EXPECT_EQ(node->WaitForExit(), kEntryExit);
    EXPECT_TRUE(peer.ClosedByNode(std::chrono::seconds(10)));
    const std::string log = node->DebugLog();
    EXPECT_THAT(log, HasSubstr("~CVesmarinManager"));
    EXPECT_THAT(log, HasSubstr("Log file closed"));

    // The instance lock went with the node: the next one starts.
    auto next = StartNode({"-debug", "-d"}, "next");
    testing::CommandPeer again(command_port_, [&] { return next->HasEnded(); });
    EXPECT_TRUE(again.IsConnected()) << next->Stderr();
}

INSTANTIATE_TEST_SUITE_P(
    Signals, PelwixStopTest,
    ::testing::Values(platform::SignalNumber(platform::StopSignal::kInterrupt),
                      platform::SignalNumber(platform::StopSignal::kTerminate)));

TEST_F(PelwixProgramTest, WindowModesWithoutADisplayEndWithAMessage) {
    environment_.Unset("DISPLAY");
    environment_.Unset("WAYLAND_DISPLAY");
    // "-service" beside "-gui" asks for the attached window, not for the service.
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-service", "-gui"}, std::vector<std::string>{"-gui"},
          std::vector<std::string>{}}) {
        auto node = StartNode(words);
        EXPECT_EQ(node->WaitForExit(), kEntryExit);
        EXPECT_THAT(node->Stderr(), HasSubstr("there is no display to show the window on"));
    }
}

TEST_F(PelwixProgramTest, DebugOptionCreatesTheConfiguredLogFolder) {
    {
        foundation::CRegistry registry(node::kNodeRegistrySection);
        ASSERT_TRUE(registry.WriteString("Debug Directory", ".\\logs\\Node"));
    }
    auto node = StartNode({"-debug", "-d"});
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    const auto folder = work_.path() / "node" / "logs" / "Node";
    EXPECT_TRUE(testing::Eventually([&] {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().filename().string().starts_with("Tav")) {
                return true;
            }
        }
        return false;
    }));
}

TEST_F(PelwixProgramTest, AZoneLinkReplacedInTheZoneFolderIsLoggedOnceAsATimeChange) {
    testing::TempDir zones;
    environment_.Set("RUZD_ZONE_WATCH_DIR", zones.path().string());
    // The watchdog's window hears the first tick, which the application thread's message loop
    // runs once its start-up, the registration for the time-change notice included, is done.
    testing::ChildProgram tormbel("node_tormbel_window_child", {"1"});
    ASSERT_EQ(tormbel.ReadLine(), std::optional<std::string>("ready"));
    auto node = StartNode({"-debug", "-d", "-w1"});
    ASSERT_EQ(tormbel.ReadLine(testing::kPatience), std::optional<std::string>("sent 0x160F 0 0"))
        << node->Stderr();

    std::filesystem::create_symlink("/usr/share/zoneinfo/Europe/Berlin",
                                    zones.path() / "localtime.new");
    std::filesystem::rename(zones.path() / "localtime.new", zones.path() / "localtime");
    ASSERT_TRUE(node->WaitForLog("OnSystemTimeChanged! ShiftMilliSecs=")) << node->Stderr();

    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(node->WaitForExit(), kEntryExit);
    const std::string log = node->DebugLog();
    EXPECT_THAT(log, ::testing::ContainsRegex("OnSystemTimeChanged! ShiftMilliSecs=[-+][0-9]+"));
    EXPECT_EQ(log.find("OnSystemTimeChanged!"), log.rfind("OnSystemTimeChanged!"));
}

}  // namespace
}  // namespace ruzd::app
