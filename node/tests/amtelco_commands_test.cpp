// The Amtelco board commands and the Amtelco worker on the simulated boards: the texts each
// command sends, a board whose messages cannot be switched on, and the boards' answers and
// messages coming back to the central server as message 0.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/threaded_message_box.h"
#include "platform/message_box.h"

#include "node/tests/isdn_node_fixture.h"
#include "testing/eventually.h"

namespace ruzd::node {
namespace {

using ::testing::Contains;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using testing::LeadingInts;

constexpr int32_t kAMOPEN = 1;
constexpr int32_t kAMRESE = 2;
constexpr int32_t kAMRIMO = 3;
constexpr int32_t kAMRQIN = 4;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kAMPREP = 99;
constexpr int32_t kAMTXIN = 100;

class AmtelcoCommandsTest : public testing::IsdnNodeTest {
protected:
    std::string Boards() const override { return "network 1 30\nip 0 0\namtelco 2\n"; }

    // Board, cable, base 0, ring mode 1, identification 0x42 and digit 1.
    void Open(int32_t board, int32_t cable) {
        peer_->SendInts(kAMOPEN, 10, {board, cable, 0, 77, 1, 0x42, 1});
        Sync();
    }

    void StartWorkers() {
        peer_->SendInts(kCNSTRT, 5, {});
        ASSERT_TRUE(ruzd::testing::Eventually(
            [this] { return manager_->IsWorkerRunning(CVesmarinManager::Worker::kAmtelco); }));
    }

    std::vector<int32_t> NextEvent() {
        const std::optional<testing::Payload> payload = NextMessage(0);
        return payload ? LeadingInts(*payload) : std::vector<int32_t>{};
    }
};

TEST_F(AmtelcoCommandsTest, EachCommandSendsItsTexts) {
    // Messages that cannot be switched on leave the board and its cable unknown.
    ASSERT_EQ(Control("fail xds_msg_on 1 1"), "OK");
    Open(1, 0);
    peer_->SendInts(kAMPREP, 11, {0, 1, 65});
    Sync();
    std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("xds_msg_on RC=1")));
    EXPECT_THAT(lines, Contains(EndsWith("SocketCmdAMPREP : cable=0 CABLE NOT FOUND")));
    EXPECT_EQ(Control("query amtelco 1"), "OK on=0 ringmode=0 resets=0 sent=");

    Open(1, 0);
    peer_->SendInts(kAMRIMO, 12, {1, 4});
    peer_->SendInts(kAMRIMO, 13, {1, 5});
    peer_->SendInts(kAMRIMO, 14, {1, 7});
    peer_->SendInts(kAMTXIN, 15, {1, 0x1A2B, 7});
    peer_->SendInts(kAMRESE, 16, {1, 2, 3, 4});
    Sync();
    EXPECT_EQ(Control("query amtelco 1"),
              "OK on=1 ringmode=7 resets=0 sent=XPO0042F1|SM1|SR2|SM2|SR1|XPO1A2BF7");
    EXPECT_EQ(CountCalls("xds_mc3_ring_mode"), 2u);
    lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("open brd=1 cable=0 TimeSlots=0 77")));
    EXPECT_THAT(lines, Contains(EndsWith("Board ID=XDS1 Version=boardsim 1.0")));
    EXPECT_THAT(lines, Contains(EndsWith("xds_mc3_ring_mode 1 1 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("xds_msg_send XPO1A2BF7 RC=0")));
    EXPECT_THAT(lines, Contains(EndsWith("ERROR RESET NOT IMPLEMENTED FOR AMTELCO")));

    // The cable preparation goes out through the worker.
    StartWorkers();
    peer_->SendInts(kAMPREP, 17, {5, 1, 65});
    EXPECT_TRUE(ruzd::testing::Eventually([this] {
        return Control("query amtelco 1").ends_with("|XC077E077E00010101");
    })) << Control("query amtelco 1");
    EXPECT_TRUE(Logged("xds_msg_send 1 XC077E077E00010101 RC=0"));
}

TEST_F(AmtelcoCommandsTest, BoardAnswersAndMessagesBecomeMessageZero) {
    StartWorkers();
    Open(1, 0);
    Open(2, 1);
    // Each board acknowledges the identification; the lower board is asked first.
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 0, 0, -1}));
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 1, 0, -1}));

    // Board 1: a message of no known form, then the answers to a ring with a connection and to
    // one without. Board 2: a connection lost and one restored.
    ASSERT_EQ(Control("boardmsg 1 5 1 odd"), "OK");
    ASSERT_EQ(Control("amtelcoring 1 0 3"), "OK");
    peer_->SendInts(kAMRQIN, 20, {1, 0, 0xABCD});
    Sync();
    ASSERT_EQ(Control("amtelcoring 1 0 none"), "OK");
    peer_->SendInts(kAMRQIN, 21, {1, 0, 0xABCD});
    ASSERT_EQ(Control("boardmsg 2 3 7 EF0"), "OK");
    ASSERT_EQ(Control("boardmsg 2 10 3 ER1"), "OK");
    Sync();

    // One event a board a poll, the unknown one not sent.
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 1, 1, -1}));
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 0, 5, 3}));
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 1, 4, -1}));
    EXPECT_EQ(NextEvent(), (std::vector<int32_t>{0, 0, 6, -1}));
    const std::vector<std::string> lines = DebugLines();
    EXPECT_THAT(lines, Contains(EndsWith("xds_msg_send QMT0ABCD RC=0")));
    EXPECT_THAT(lines,
                Contains(EndsWith("Amtelco event: board=1 cable=0 event=-1 Msg=odd <Unknown>")));
    EXPECT_THAT(lines, Contains(EndsWith("Amtelco event: board=1 cable=0 event=5 "
                                         "Msg=QMT0ABCD0000F3 <Connection found on ring 0>")));
    EXPECT_THAT(lines, Contains(HasSubstr("Unknown Amtelco Event 5 1 odd")));
}

// The node's vendor folder without the Amtelco library.
class AmtelcoWithoutLibraryTest : public AmtelcoCommandsTest {
protected:
    void SetUp() override {
        for (const auto& entry :
             std::filesystem::directory_iterator(RUZD_TEST_BIN_DIR "/../vendor")) {
            if (entry.path().filename() != "XDSlibsc.so") {
                std::filesystem::copy(entry.path(), vendor_.path() / entry.path().filename());
            }
        }
        UseVendorFolder(vendor_.path());
        platform::SetMessageBoxPresenter(
            [this](const std::string& text, const std::string& caption, uint32_t) {
                std::lock_guard hold(boxes_lock_);
                boxes_.emplace_back(caption, text);
                return platform::kIdOk;
            });
        AmtelcoCommandsTest::SetUp();
    }

    void TearDown() override {
        AmtelcoCommandsTest::TearDown();
        foundation::StopThreadedMessageBox();
        platform::SetMessageBoxPresenter(nullptr);
    }

    std::vector<std::pair<std::string, std::string>> Boxes() {
        std::lock_guard hold(boxes_lock_);
        return boxes_;
    }

    ruzd::testing::TempDir vendor_;
    std::mutex boxes_lock_;
    std::vector<std::pair<std::string, std::string>> boxes_;
};

TEST_F(AmtelcoWithoutLibraryTest, EveryOpenShowsThatAmtelcoTrafficIsDisabled) {
    // The loading of the libraries said so once already.
    const size_t said = CountLogLines("Amtelco traffic is disabled");
    Open(1, 0);
    Open(1, 0);
    // The box goes through the threaded message box, which shows the program's own title.
    const std::pair<std::string, std::string> box{
        foundation::CurrentApp().ApplicationName(),
        "Could not load XDSlibsc.dll\nAmtelco traffic is disabled"};
    EXPECT_TRUE(ruzd::testing::Eventually([this] { return Boxes().size() == 2; }));
    EXPECT_EQ(Boxes(), (std::vector<std::pair<std::string, std::string>>{box, box}));
    EXPECT_EQ(CountLogLines("Amtelco traffic is disabled", said + 2), said + 2);
    // Nothing was recorded: the cable stays unknown.
    peer_->SendInts(kAMPREP, 11, {0, 1, 65});
    Sync();
    EXPECT_TRUE(Logged("SocketCmdAMPREP : cable=0 CABLE NOT FOUND"));
}

}  // namespace
}  // namespace ruzd::node
