// The central server's session with the real node program: the initialisation with its
// file-transfer connection, its reply, the clock and the file map, and the end of the session
// when the connection closes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/tests/node_process.h"
#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "net/tests/central_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/sntp_client.h"
#include "platform/stop_signals.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::app::testing {
namespace {

using ruzd::testing::SntpTestServer;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kCNINIT = 11;
constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTRT = 15;

class PelwixSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        commandPort_ = FreePort();
        filePort_ = net::filetest::FreePort();
        foundation::CRegistry registry(node::kNodeRegistrySection);
        ASSERT_TRUE(registry.WriteDword(node::kLocalTcpPortValue, commandPort_));
        ASSERT_TRUE(registry.WriteDword(node::kLocalFileSocketTcpPortValue, filePort_));
        // The node's clock program asks the test's time server, and leaves the clock alone.
        ::setenv(platform::kSntpPortVariable, std::to_string(sntp_.port()).c_str(), 1);
        ::setenv("RUZD_SET_CLOCK", "0", 1);
    }
    void TearDown() override {
        ::unsetenv(platform::kSntpPortVariable);
        ::unsetenv("RUZD_SET_CLOCK");
    }

    std::unique_ptr<NodeProcess> StartNode() {
        return std::make_unique<NodeProcess>(root_.path(), work_.path() / "node",
                                             std::vector<std::string>{"-debug", "-d", "-w1"});
    }

    std::unique_ptr<net::filetest::CentralPeer> AuthoriseFileConnection() {
        auto files = net::filetest::CentralPeer::ConnectWhenListening(filePort_);
        EXPECT_TRUE(files->Connected());
        EXPECT_TRUE(files->Handshake(false));
        files->SendText("STARTS 2\r");
        EXPECT_EQ(files->ReadLine(), "STARTS 1");
        return files;
    }

    static void SendInit(CentralPeer& peer, int32_t id) {
        peer.SendWith(kCNINIT, id, [](net::COutputStreamSocket& writer) {
            writer.WriteInt(0).WriteString("127.0.0.1").WriteInt(12);
        });
    }

    // Sends keep-alives until the start-up delay has passed and one is answered.
    static bool WaitUntilAccepting(CentralPeer& peer) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            peer.Send(kCNPING, 100 + attempt, {attempt});
            if (peer.Receive(std::chrono::milliseconds(500)).has_value()) {
                return true;
            }
        }
        return false;
    }

    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    SntpTestServer sntp_;
    uint32_t commandPort_ = 0;
    uint16_t filePort_ = 0;
};

TEST_F(PelwixSessionTest, InitNeedsTheFileConnectionThenRepliesAndSetsUpTheNode) {
    std::filesystem::create_directories(work_.path() / "node");
    std::ofstream(work_.path() / "node" / "FILEMAP.TXT") << "C:\\Voice D:\\Prompts\n";
    auto node = StartNode();
    CentralPeer peer(static_cast<int>(commandPort_), [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    ASSERT_TRUE(WaitUntilAccepting(peer)) << node->Stderr();

    SendInit(peer, 1);
    EXPECT_TRUE(node->WaitForLog("File Socket not connected. Ignoring CNINIT"));
    EXPECT_FALSE(peer.Receive(std::chrono::milliseconds(300)).has_value());

    auto files = AuthoriseFileConnection();
    SendInit(peer, 2);
    const auto reply = peer.ReceivePayload();
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
    std::unique_ptr<net::filetest::CentralPeer> files;
    {
        CentralPeer peer(static_cast<int>(commandPort_), [&] { return node->HasEnded(); });
        ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
        ASSERT_TRUE(WaitUntilAccepting(peer)) << node->Stderr();
        // The file listener was made right after the command listener, so it listens by now.
        files = AuthoriseFileConnection();
        SendInit(peer, 1);
        ASSERT_TRUE(peer.ReceivePayload().has_value());
    }
    EXPECT_TRUE(
        node->WaitForLog("Previously connected socket is now disconnected: closing all channels"));
    EXPECT_TRUE(node->WaitForLog("SafeCloseAllChannels"));

    // The next central server may start a session of its own (once the start-up delay, which
    // the close put back, has passed).
    CentralPeer next(static_cast<int>(commandPort_), [&] { return node->HasEnded(); });
    ASSERT_TRUE(WaitUntilAccepting(next)) << node->Stderr();
    SendInit(next, 2);
    const auto reply = next.ReceivePayload();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->front(), 31);
}

}  // namespace
// The workers hold the manager while they run: stopping the program must stop them, destroy the
// manager and close the log, not leave the workers running on while the process ends.
TEST_F(PelwixSessionTest, AStopWithRunningWorkersEndsThemAndTheManager) {
    auto node = StartNode();
    CentralPeer peer(static_cast<int>(commandPort_), [&] { return node->HasEnded(); });
    ASSERT_TRUE(peer.IsConnected()) << node->Stderr();
    ASSERT_TRUE(WaitUntilAccepting(peer)) << node->Stderr();
    auto files = AuthoriseFileConnection();
    SendInit(peer, 1);
    ASSERT_TRUE(peer.ReceivePayload().has_value());
    peer.Send(kCNSTRT, 2, {});
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

}  // namespace ruzd::app::testing
