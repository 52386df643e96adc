// The session commands that open and end the central server's work with the
// node (CNINIT, CNSTGR), on a manager in the test process with the simulated
// boards, a central peer on its command port and a file-transfer peer on its
// file port.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/debug_log.h"
#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "net/tests/central_peer.h"
#include "node/tests/central_peer.h"
#include "node/vesmarin_manager.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sntp_client.h"
#include "platform/text.h"
#include "testing/debug_files.h"
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

class RecordingCallback : public CVesmarinManagerCallback {
public:
    void OnVesmarinManagerStop() override {
        std::lock_guard lock(mutex_);
        ++stops_;
    }
    void OnVesmarinStatus(int32_t type, int32_t ldev, const std::string& text, int32_t) override {
        std::lock_guard lock(mutex_);
        statuses_.push_back(std::to_string(type) + "/" + std::to_string(ldev) + " " + text);
    }
    void OnVesmarinConnectionState(int32_t connected, int32_t starting) override {
        std::lock_guard lock(mutex_);
        states_.emplace_back(connected, starting);
    }
    void OnVesmarinStatusText(const std::string&) override {}
    void OnVesmarinClearView() override {}

    int stops() const {
        std::lock_guard lock(mutex_);
        return stops_;
    }
    std::vector<State> states() const {
        std::lock_guard lock(mutex_);
        return states_;
    }
    std::vector<std::string> statuses() const {
        std::lock_guard lock(mutex_);
        return statuses_;
    }

private:
    mutable std::mutex mutex_;
    int stops_ = 0;
    std::vector<State> states_;
    std::vector<std::string> statuses_;
};

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

class SessionCommandsTest : public ::testing::Test {
protected:
    SessionCommandsTest() : previousFolder_(fs::current_path()) {
        ::setenv("RUZD_VENDOR_DIR", RUZD_TEST_BIN_DIR "/../vendor", 1);
        ::setenv("BOARDSIM_JOURNAL", (work_.path() / "journal").c_str(), 1);
        ::setenv("RUZD_SET_CLOCK", "0", 1);
        ::setenv(platform::kSntpPortVariable, std::to_string(sntp_.port()).c_str(), 1);
        fs::current_path(work_.path());
        fs::create_directories(root_.path() / "drives" / "c" / "Ruzd" / "Debug");
        foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 5, true, 0);
        port_ = node::testing::FreePort();
        filePort_ = net::filetest::FreePort();
        foundation::CRegistry registry(kNodeRegistrySection);
        registry.WriteDword(kLocalTcpPortValue, port_);
        registry.WriteDword(kLocalFileSocketTcpPortValue, filePort_);
    }
    ~SessionCommandsTest() override {
        manager_.reset();
        foundation::StopDebugLog();
        fs::current_path(previousFolder_);
        for (const char* name : {"BOARDSIM_JOURNAL", "BOARDSIM_CONFIG", "RUZD_SET_CLOCK",
                                 platform::kSntpPortVariable}) {
            ::unsetenv(name);
        }
    }

    void Start(int32_t runMode = foundation::kRunModeHeadless) {
        ManagerSettings settings;
        settings.runMode = runMode;
        manager_ = std::make_shared<CVesmarinManager>(settings);
        manager_->Initialise(&callback_);
        clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
    }

    // A file-transfer connection through its handshake and STARTS, so that CNINIT
    // is taken.
    std::unique_ptr<net::filetest::CentralPeer> AuthoriseFileConnection() {
        auto files =
            net::filetest::CentralPeer::ConnectWhenListening(static_cast<uint16_t>(filePort_));
        EXPECT_TRUE(files->Connected());
        EXPECT_TRUE(files->Handshake(false));
        files->SendText("STARTS 2\r");
        EXPECT_EQ(files->ReadLine(), "STARTS 1");
        return files;
    }

    static void SendInit(node::testing::CentralPeer& peer, int32_t id, const std::string& host,
                         int32_t level) {
        peer.SendWith(kCNINIT, id, [&](net::COutputStreamSocket& writer) {
            writer.WriteInt(0).WriteString(host).WriteInt(level);
        });
    }

    // Waits until the debug log holds a line ending in `text` (the log is written
    // by a thread of its own), and gives all lines.
    std::vector<std::string> LinesAfter(const std::string& text) {
        const auto deadline = node::testing::Clock::now() + node::testing::kPatience;
        std::vector<std::string> lines;
        do {
            lines = ruzd::testing::DebugLines(root_.path() / "drives" / "c" / "Ruzd" / "Debug");
            for (const std::string& line : lines) {
                if (line.ends_with(text)) {
                    return lines;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (node::testing::Clock::now() < deadline);
        ADD_FAILURE() << "no line ends in: " << text;
        return lines;
    }

    // The journal of vendor calls: one line per call.
    std::vector<std::string> Journal() const {
        std::ifstream in(work_.path() / "journal");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines;
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

    const fs::path previousFolder_;
    ruzd::testing::TempRoot root_;
    ruzd::testing::TempDir work_;
    SntpTestServer sntp_;
    platform::ManualClock clock_{platform::WallTime{} + std::chrono::hours(24 * 365 * 50)};
    platform::ScopedClockOverride clockOverride_{clock_};
    RecordingCallback callback_;
    uint32_t port_ = 0;
    uint16_t filePort_ = 0;
    std::shared_ptr<CVesmarinManager> manager_;
};

TEST_F(SessionCommandsTest, InitIsIgnoredWithoutAnAuthorisedFileConnection) {
    Start();
    net::filetest::CentralPeer unauthorised(filePort_);
    ASSERT_TRUE(unauthorised.Connected());
    node::testing::CentralPeer peer(static_cast<int>(port_));
    manager_->Devices().Voice().Set(3, 77);

    SendInit(peer, 1, "127.0.0.1", 12);
    LinesAfter("File Socket not connected. Ignoring CNINIT");
    EXPECT_FALSE(peer.Receive(std::chrono::milliseconds(300)).has_value());
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}));
    int32_t handle = 0;
    EXPECT_TRUE(manager_->Devices().Voice().Get(3, &handle)) << "nothing was forgotten";
    EXPECT_FALSE(fs::exists(work_.path() / "FileCache"));
    EXPECT_EQ(sntp_.requests(), 0);
}

TEST_F(SessionCommandsTest, InitPreparesTheNodeAndRepliesWithItsVersionByteForByte) {
    {
        std::ofstream map(work_.path() / "FILEMAP.TXT");
        map << "C:\\Voice D:\\Prompts # the prompts\n# only a comment\n";
    }
    Start();
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));
    manager_->Devices().Voice().Set(3, 77);
    manager_->Devices().Network().Set(4, 78);

    SendInit(peer, 5, "127.0.0.1", 12);
    const auto reply = peer.ReceivePayload();
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

    const auto lines = LinesAfter("Conversion maps initialized");
    EXPECT_THAT(lines, Contains(EndsWith("SocketCmdCNINIT")));
    EXPECT_THAT(lines, Contains(EndsWith("Initializing Pelwix")));
    EXPECT_THAT(lines, Contains(EndsWith("Executing: net.exe time \\\\127.0.0.1 /set /y")));
    EXPECT_THAT(lines, Contains(EndsWith("Error FILEMAP.TXT line 2")));
    EXPECT_GE(sntp_.requests(), 1);
}

TEST_F(SessionCommandsTest, AWindowNodeSaysSoInTheReply) {
    Start(foundation::kRunModeWindow);
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));
    SendInit(peer, 5, "127.0.0.1", 1);
    const auto reply = peer.ReceivePayload();
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
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));

    SendInit(peer, 5, "127.0.0.1", 13);
    EXPECT_EQ(shown.get_future().get(), "Please upgrade to the latest Vesmarin version.");
    // The box is still up, yet the next command is answered: the command thread
    // goes on.
    peer.Send(kCNPING, 6, {44});
    const auto echo = peer.Receive();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 44})) << "no message 31 came before the echo";
    userAnswers.set_value();
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    LinesAfter("ERROR: Vesmarin needs to be upgraded.");
    platform::SetMessageBoxPresenter(nullptr);
}

TEST_F(SessionCommandsTest, ACentralHostThatIsNoHostSkipsOnlyTheClock) {
    Start();
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));
    SendInit(peer, 5, "a;b", 12);
    ASSERT_TRUE(peer.ReceivePayload().has_value());
    const auto lines = LinesAfter("WARNING: FileMap.txt not found. No fileconversion used");
    EXPECT_THAT(lines, Contains(EndsWith("Clock not set: central host 'a;b' is neither a host "
                                         "name nor an IP address")));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("Executing"))));
    EXPECT_EQ(sntp_.requests(), 0);
}

TEST_F(SessionCommandsTest, ASecondCentralIsRefusedAndItsCloseIgnored) {
    Start();
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer first(static_cast<int>(port_));
    SendInit(first, 1, "127.0.0.1", 12);
    ASSERT_TRUE(first.ReceivePayload().has_value());
    {
        node::testing::CentralPeer second(static_cast<int>(port_));
        SendInit(second, 2, "127.0.0.1", 12);
        second.Send(kCNPING, 3, {9});
        LinesAfter("command: 12 ignored.");
        EXPECT_FALSE(second.Receive(std::chrono::milliseconds(300)).has_value());
    }
    LinesAfter(
        "Connected socket is not the one that is now disconnected: "
        "ignoring socket close, "
        "and NOT closing channels");
    EXPECT_TRUE(manager_->IsConnectedSocket(nullptr));
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}, State{1, 0}));
    const auto lines = LinesAfter("command: 11 ignored.");
    EXPECT_THAT(lines, Contains(EndsWith("Command received from new Connection, but a previous "
                                         "connection is still active.  Are there multiple "
                                         "Orvanthellas connecting to this node?")));

    first.Send(kCNPING, 4, {10});
    const auto echo = first.Receive();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 10}));
}

TEST_F(SessionCommandsTest, StopRequestAsksTheCentralWhileChannelsAreOpen) {
    Start();
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));
    SendInit(peer, 1, "127.0.0.1", 12);
    ASSERT_TRUE(peer.ReceivePayload().has_value());

    manager_->SetOpenChannelCount(2);
    manager_->StopRequest();
    const auto request = peer.Receive();
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(*request, (std::vector<int32_t>{kMessageStopRequest}));
    EXPECT_EQ(callback_.stops(), 0);
    LinesAfter("Stop request sent to server.  Please wait...");

    manager_->SetOpenChannelCount(0);
    manager_->StopRequest();
    EXPECT_EQ(callback_.stops(), 1);
}

TEST_F(SessionCommandsTest, GracefulEndDropsTheConnectionAndCommandsForTwoMinutesFromStart) {
    Start();
    auto files = AuthoriseFileConnection();
    node::testing::CentralPeer peer(static_cast<int>(port_));
    SendInit(peer, 1, "127.0.0.1", 12);
    ASSERT_TRUE(peer.ReceivePayload().has_value());
    manager_->Devices().Voice().Set(3, 77);

    peer.Send(kCNSTGR, 2);
    LinesAfter("SocketCmdCNSTGR");
    EXPECT_FALSE(manager_->IsConnectedSocket(nullptr));
    EXPECT_EQ(manager_->StartupDelaySeconds(), 120u);
    EXPECT_EQ(callback_.stops(), 1);
    EXPECT_THAT(callback_.states(), ElementsAre(State{0, 1}, State{1, 0}, State{0, 0}));
    int32_t handle = 0;
    EXPECT_TRUE(manager_->Devices().Voice().Get(3, &handle)) << "channels are not closed here";

    // Four seconds have passed since the start: commands are dropped until 120.
    peer.Send(kCNPING, 3, {1});
    EXPECT_FALSE(peer.Receive(std::chrono::milliseconds(300)).has_value());
    clock_.Advance(std::chrono::seconds(116));
    peer.Send(kCNPING, 4, {2});
    const auto echo = peer.Receive();
    ASSERT_TRUE(echo.has_value());
    EXPECT_EQ(*echo, (std::vector<int32_t>{1, 2}));
}

}  // namespace
}  // namespace ruzd::node
