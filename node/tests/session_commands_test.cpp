// The session commands that open and end the central server's work with the
// node (CNINIT, CNSTGR), on a manager in the test process with the simulated
// boards, a central peer on its command port and a file-transfer peer on its
// file port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "node/vesmarin_manager.h"
#include "platform/message_box.h"
#include "platform/sntp_client.h"
#include "testing/command_peer.h"
#include "testing/file_peer.h"
#include "testing/loopback_socket.h"
#include "testing/manager_on_boards.h"
#include "testing/sntp_test_server.h"
#include "testing/temp_root.h"

namespace ruzd::node {
namespace {

namespace fs = std::filesystem;
using ruzd::testing::SntpTestServer;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int32_t kCNINIT = 11;
constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTGR = 13;
constexpr int32_t kMessageStopRequest = 3;
using State = std::pair<int32_t, int32_t>;

// The encoding of the message stream, written out by hand so that the reply is
// checked against the format rather than against the node's own writer.
void AppendSmallInt(std::vector<uint8_t>& bytes, int32_t value) {
    ASSERT_TRUE(value >= 0 && value <= 0x3F);
    bytes.push_back(static_cast<uint8_t>(value));
}
void AppendShortText(std::vector<uint8_t>& bytes, const std::string& text) {
    ASSERT_LE(text.size(), 61u);
    bytes.push_back(static_cast<uint8_t>(0x80 | text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

class SessionCommandsTest : public testing::ManagerOnBoardsTest {
protected:
    SessionCommandsTest() {
        environment_.Set("RUZD_SET_CLOCK", "0");
        environment_.Set(platform::kSntpPortVariable, std::to_string(sntp_.port()));
        StartDebugLog();
    }

    void Start(int32_t runMode = foundation::kRunModeHeadless) {
        ManagerSettings settings;
        settings.runMode = runMode;
        ManagerOnBoardsTest::Start(settings);
    }

    std::vector<uint8_t> ExpectedInitReply(bool withoutWindow) {
        foundation::CModuleVersion version;
        EXPECT_TRUE(version.Load());
        std::vector<uint8_t> bytes;
        AppendSmallInt(bytes, 31);
        AppendShortText(bytes, version.GetFileVersionString());
        AppendSmallInt(bytes,
                       1);         // Global Call runs: the simulated IP boards started it
        AppendSmallInt(bytes, 1);  // IP telephony and IP media boards
        AppendSmallInt(bytes, withoutWindow ? 1 : 0);
        AppendShortText(bytes, "");  // no Dialogic release installed
        return bytes;
    }

    testing::TempWorkFolder work_;
    SntpTestServer sntp_;
};

TEST_F(SessionCommandsTest, InitIsIgnoredWithoutAnAuthorisedFileConnection) {
    Start();
    auto unauthorised = testing::FilePeer::ConnectWhenListening(file_port_);
    ASSERT_TRUE(unauthorised->Connected());
    testing::CommandPeer peer(command_port_);
    manager_->Devices().Voice().Set(3, 77);

    peer.SendInit(1);
    LinesOnceLogged("File Socket not connected. Ignoring CNINIT");
    // No answer: the keep-alive sent after it is the first thing answered.
    peer.SendInts(kCNPING, 2, {2});
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 2}));
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}));
    int32_t handle = 0;
    EXPECT_TRUE(manager_->Devices().Voice().Get(3, &handle)) << "nothing was forgotten";
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache"));
    EXPECT_EQ(sntp_.requests(), 0);
}

TEST_F(SessionCommandsTest, InitWhoseValuesDoNotReadIsRefusedWithoutAReply) {
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);

    // A number where the central server's host should be.
    peer.SendInts(kCNINIT, 3, {0, 7});
    peer.SendInts(kCNPING, 4, {4});
    // The keep-alive sent after it is the first thing answered.
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 4}));
    LinesOnceLogged("CNINIT: command too short");
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}));

    // The same connection's next CNINIT is taken.
    peer.SendInit(5);
    const auto reply = peer.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, ExpectedInitReply(true));
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
}

TEST_F(SessionCommandsTest, InitIsTakenOnlyFromTheMachineOfTheAuthorisedFileConnection) {
    Start();
    auto elsewhere = testing::FilePeer::AuthorisedFrom("127.0.0.2", file_port_);
    ASSERT_TRUE(elsewhere);
    testing::CommandPeer peer(command_port_);

    peer.SendInit(1);
    LinesOnceLogged("File Socket not connected from 127.0.0.1. Ignoring CNINIT");
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}));

    auto files = testing::FilePeer::Authorised(file_port_);
    peer.SendInit(2);
    ASSERT_TRUE(peer.Receive().has_value());
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
}

TEST_F(SessionCommandsTest, InitPreparesTheNodeAndRepliesWithItsVersionByteForByte) {
    {
        std::ofstream map(work_.path() / "FILEMAP.TXT");
        map << "C:\\Voice D:\\Prompts # the prompts\n# only a comment\n";
    }
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);
    manager_->Devices().Voice().Set(3, 77);
    manager_->Devices().Network().Set(4, 78);

    peer.SendInit(5);
    const auto reply = peer.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, ExpectedInitReply(true));

    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}, State{1, 0}));
    EXPECT_TRUE(fs::is_directory(work_.path() / "FileCache"));
    EXPECT_TRUE(fs::is_directory(work_.path() / "FileCacheProblems"));
    int32_t handle = 0;
    EXPECT_FALSE(manager_->Devices().Voice().Get(3, &handle));
    EXPECT_FALSE(manager_->Devices().Network().Get(4, &handle));
    // The first IP telephony board stands in the IP table under its board number.
    ASSERT_TRUE(manager_->Devices().Ip().Get(1000001, &handle));
    int32_t value = 0;
    EXPECT_TRUE(manager_->Devices().PortTypes().Get(handle, &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(manager_->Devices().HandleLdevs().Get(handle, &value));
    EXPECT_EQ(value, 1000001);
    std::string path = "C:\\Voice\\hello.vox";
    EXPECT_TRUE(manager_->FileMapping(path));
    EXPECT_EQ(path, "D:\\PROMPTS\\HELLO.VOX");

    const auto lines = LinesOnceLogged("Conversion maps initialized");
    EXPECT_THAT(lines, Contains(EndsWith("SocketCmdCNINIT")));
    EXPECT_THAT(lines, Contains(EndsWith("Initializing Pelwix")));
    EXPECT_THAT(lines, Contains(EndsWith("Executing: net.exe time \\\\127.0.0.1 /set /y")));
    EXPECT_THAT(lines, Contains(EndsWith("Error FILEMAP.TXT line 2")));
    EXPECT_GE(sntp_.requests(), 1);
}

TEST_F(SessionCommandsTest, AWindowNodeSaysSoInTheReply) {
    Start(foundation::kRunModeWindow);
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);
    peer.SendInit(5, "127.0.0.1", 1);
    const auto reply = peer.Receive();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, ExpectedInitReply(false));
}

TEST_F(SessionCommandsTest, ANewerCentralIsServedWithoutReplyAndTheUserIsToldWithoutWaiting) {
    std::promise<std::string> shown;
    std::promise<void> userAnswers;
    std::shared_future<void> answered = userAnswers.get_future().share();
    platform::SetMessageBoxPresenter(
        [&, answered](const std::string& text, const std::string&, uint32_t) {
            shown.set_value(text);
            answered.wait();
            return platform::kIdOk;
        });
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);

    peer.SendInit(5, "127.0.0.1", 13);
    EXPECT_EQ(shown.get_future().get(), "Please upgrade to the latest Vesmarin version.");
    // The box is still up, yet the next command is answered: the command thread
    // goes on.
    peer.SendInts(kCNPING, 6, {44});
    const auto echo = peer.ReceiveInts();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 44})) << "no message 31 came before the echo";
    userAnswers.set_value();
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    LinesOnceLogged("ERROR: Vesmarin needs to be upgraded.");
    platform::SetMessageBoxPresenter(nullptr);
}

TEST_F(SessionCommandsTest, ACentralHostThatIsNoHostSkipsOnlyTheClock) {
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);
    peer.SendInit(5, "a;b");
    ASSERT_TRUE(peer.Receive().has_value());
    const auto lines = LinesOnceLogged("WARNING: FileMap.txt not found. No fileconversion used");
    EXPECT_THAT(lines, Contains(EndsWith("Clock not set: central host 'a;b' is neither a host "
                                         "name nor an IP address")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Executing"))));
    EXPECT_EQ(sntp_.requests(), 0);
}

TEST_F(SessionCommandsTest, ASecondCentralIsRefusedAndItsCloseIgnored) {
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer first(command_port_);
    first.SendInit(1);
    ASSERT_TRUE(first.Receive().has_value());
    {
        testing::CommandPeer second(command_port_);
        second.SendInit(2);
        second.SendInts(kCNPING, 3, {9});
        LinesOnceLogged("command: 12 ignored.");
        EXPECT_FALSE(second.Receive(std::chrono::milliseconds(300)).has_value());
    }
    LinesOnceLogged(
        "Connected socket is not the one that is now disconnected: "
        "ignoring socket close, "
        "and NOT closing channels");
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}, State{1, 0}));
    const auto lines = LinesOnceLogged("command: 11 ignored.");
    EXPECT_THAT(lines, Contains(EndsWith("Command received from new Connection, but a previous "
                                         "connection is still active.  Are there multiple "
                                         "Orvanthellas connecting to this node?")));

    first.SendInts(kCNPING, 4, {10});
    const auto echo = first.ReceiveInts();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 10}));
}

TEST_F(SessionCommandsTest, PeersOtherThanTheCentralAreClosedWhenTheyMakeTheNodeHoldTooMuch) {
    foundation::CRegistry("Pelwix").WriteDword("Other Connections Buffer KB", 16);
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer central(command_port_);
    central.SendInit(1);
    ASSERT_TRUE(central.Receive().has_value());

    // On the command port: the start of a frame of a megabyte, of which 32 KiB come.
    testing::RawConnection commands = testing::RawConnection::Connect(command_port_);
    const unsigned commands_port = commands.LocalPort();
    std::vector<uint8_t> frame_start = {3, 0x10, 0x00, 0x00};
    frame_start.resize(frame_start.size() + 32 * 1024, 'c');
    commands.SendAll(frame_start);
    EXPECT_TRUE(commands.WaitClosed());
    LinesOnceLogged("Connection from 127.0.0.1:" + std::to_string(commands_port) +
                    " closed: connections other than the active one hold more than 16384 bytes");
    LinesOnceLogged(
        "Connected socket is not the one that is now disconnected: ignoring socket "
        "close, and NOT closing channels");

    // On the file port, a connection through its handshake but not authorised: 32 KiB of a line.
    testing::FilePeer unauthorised(file_port_);
    ASSERT_TRUE(unauthorised.Handshake(false));
    unauthorised.SendText(std::string(32 * 1024, 'f'));
    EXPECT_TRUE(unauthorised.WaitClosed());
    LinesOnceLogged("ended: connections other than the active one hold more than 16384 bytes");

    // The central server's connections go on.
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    central.SendInts(kCNPING, 2, {10});
    EXPECT_EQ(central.ReceiveInts(), (std::vector<int32_t>{1, 10}));
    files->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(files->ReadLine(), "HEARTB 0 00000000010000000002");
    const auto lines = LogLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("hold more than") != std::string::npos;
                            }),
              2);
}

TEST_F(SessionCommandsTest, StopRequestAsksTheCentralWhileChannelsAreOpen) {
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);
    peer.SendInit(1);
    ASSERT_TRUE(peer.Receive().has_value());

    manager_->SetOpenChannelCount(2);
    manager_->StopRequest();
    const auto request = peer.ReceiveInts();
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(*request, (std::vector<int32_t>{kMessageStopRequest}));
    EXPECT_EQ(callback_.stops(), 0);
    LinesOnceLogged("Stop request sent to server.  Please wait...");

    manager_->SetOpenChannelCount(0);
    manager_->StopRequest();
    EXPECT_EQ(callback_.stops(), 1);
}

TEST_F(SessionCommandsTest, GracefulEndDropsTheConnectionAndCommandsForTwoMinutesFromStart) {
    Start();
    auto files = testing::FilePeer::Authorised(file_port_);
    testing::CommandPeer peer(command_port_);
    peer.SendInit(1);
    ASSERT_TRUE(peer.Receive().has_value());
    manager_->Devices().Voice().Set(3, 77);

    peer.Send(kCNSTGR, 2);
    LinesOnceLogged("SocketCmdCNSTGR");
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_EQ(manager_->StartupDelaySeconds(), 120u);
    EXPECT_EQ(callback_.stops(), 1);
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}, State{1, 0}, State{0, 0}));
    int32_t handle = 0;
    EXPECT_TRUE(manager_->Devices().Voice().Get(3, &handle)) << "channels are not closed here";

    // Four seconds have passed since the start: commands are dropped until 120. The clock
    // stands still until the node has the keep-alive.
    const size_t received = CountLogLines("OnSocketReceiveInfo");
    peer.SendInts(kCNPING, 3, {1});
    ASSERT_GT(CountLogLines("OnSocketReceiveInfo", received + 1), received);
    clock_.Advance(std::chrono::seconds(116));
    peer.SendInts(kCNPING, 4, {2});
    const auto echo = peer.ReceiveInts();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 2}));
}

}  // namespace
}  // namespace ruzd::node
