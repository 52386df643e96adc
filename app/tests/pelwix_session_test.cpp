// The central server's session with the real node program: the initialisation with its
// file-transfer connection, its reply, the clock and the file map, and the end of the session
// when the connection closes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "foundation/module_version.h"
#include "platform/sntp_client.h"
#include "platform/stop_signals.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/node_program.h"
#include "testing/sntp_test_server.h"

namespace ruzd::app {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;

class PelwixSessionTest : public testing::NodeProgramTest {
protected:
    // The node's clock program asks the test's time server, and leaves the clock alone.
    PelwixSessionTest() {
        environment_.Set(platform::kSntpPortVariable, std::to_string(sntp_.port()));
        environment_.Set("RUZD_SET_CLOCK", "0");
    }

    std::unique_ptr<testing::NodeProcess> StartNode() {
        return NodeProgramTest::StartNode({"-debug", "-d", "-w1"});
    }

    const uint32_t file_port_ = testing::WriteFilePort();
    testing::SntpTestServer sntp_;
};

TEST_F(PelwixSessionTest, InitNeedsTheFileConnectionThenRepliesAndSetsUpTheNode) {
    std::filesystem::create_directories(work_.path() / "node");
    std::ofstream(work_.path() / "node" / "FILEMAP.TXT") << "C:\\Voice D:\\Prompts\n";
    auto node = StartNode();
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    ASSERT_TRUE(peer.AwaitCommandsAccepted()) << node->Stderr();

    peer.SendInit(1);
    EXPECT_TRUE(node->WaitForLog("File Socket not connected. Ignoring CNINIT"));
    // No answer: the keep-alive sent after it is the first thing answered.
    peer.SendInts(kCNPING, 50, {50});
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 50}));

    auto files = testing::FilePeer::Authorised(file_port_);
    peer.SendInit(2);
    const auto reply = peer.Receive();
    ASSERT_TRUE(reply.has_value());
    foundation::CModuleVersion version;
    ASSERT_TRUE(version.Load());
    const std::string text = version.GetFileVersionString();
    std::vector<uint8_t> expected{31, static_cast<uint8_t>(0x80 | text.size())};
    expected.insert(expected.end(), text.begin(), text.end());
    // Global Call started for the simulated IP boards, IP boards present, no window, no
    // Dialogic release installed.
    expected.insert(expected.end(), {1, 1, 1, 0x80});
    EXPECT_EQ(*reply, expected);

    EXPECT_TRUE(node->WaitForLog("Conversion maps initialized"));
    const std::string log = node->DebugLog();
    EXPECT_THAT(log, HasSubstr("Initializing Pelwix"));
    EXPECT_THAT(log, HasSubstr("Executing: net.exe time \\\\127.0.0.1 /set /y"));
    EXPECT_THAT(log, HasSubstr("Clock command ended with 0: Current time at \\\\127.0.0.1 is "
                               "2030-01-01 00:00:00 UTC"));
    EXPECT_THAT(log, HasSubstr("File mapping 'C:\\VOICE' --> 'D:\\PROMPTS'"));
    EXPECT_TRUE(std::filesystem::is_directory(work_.path() / "node" / "FileCache"));
    EXPECT_TRUE(std::filesystem::is_directory(work_.path() / "node" / "FileCacheProblems"));
    EXPECT_GE(sntp_.requests(), 1);
}

TEST_F(PelwixSessionTest, TheActiveConnectionsCloseClosesAllChannels) {
    auto node = StartNode();
    std::unique_ptr<testing::FilePeer> files;
    {
        testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
        ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
        ASSERT_TRUE(peer.AwaitCommandsAccepted()) << node->Stderr();
        // The file listener was made right after the command listener, so it listens by now.
        files = testing::FilePeer::Authorised(file_port_);
        peer.SendInit(1);
        ASSERT_TRUE(peer.Receive().has_value());
    }
    EXPECT_TRUE(
        node->WaitForLog("Previously connected socket is now disconnected: closing all channels"));
    EXPECT_TRUE(node->WaitForLog("SafeCloseAllChannels"));

    // The next central server may start a session of its own (once the start-up delay, which
    // the close put back, has passed).
    testing::CommandPeer next(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(next.AwaitCommandsAccepted()) << node->Stderr();
    next.SendInit(2);
    const auto reply = next.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->front(), 31);
}

}  // namespace
// The workers hold the manager while they run: stopping the program must stop them, destroy the
// manager and close the log, not leave the workers running on while the process ends.
TEST_F(PelwixSessionTest, AStopWithRunningWorkersEndsThemAndTheManager) {
    auto node = StartNode();
    testing::CommandPeer peer(command_port_, [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    ASSERT_TRUE(peer.AwaitCommandsAccepted()) << node->Stderr();
    auto files = testing::FilePeer::Authorised(file_port_);
    peer.SendInit(1);
    ASSERT_TRUE(peer.Receive().has_value());
    peer.Send(kCNSTRT, 2);
    ASSERT_TRUE(node->WaitForLog("FileHandlingThread started"));

    node->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    EXPECT_EQ(node->WaitForExit(), 255) << node->Stderr();
    const std::string log = node->DebugLog();
    EXPECT_THAT(log, HasSubstr("ISDN Thread ended"));
    EXPECT_THAT(log, HasSubstr("FileHandlingThread ended"));
    EXPECT_THAT(log, HasSubstr("~CVesmarinManager"));
    EXPECT_THAT(log, HasSubstr("Log file closed"));
    EXPECT_THAT(node->Stderr(), Not(HasSubstr("runtime error")));
}

}  // namespace ruzd::app
