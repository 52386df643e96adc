// The manager in the test process: its start-up, its stop request and the acceptance of
// commands on a real loopback connection, with a clock the test moves past the start-up delay.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "node/exception_cm.h"
#include "node/vesmarin_manager.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/manager_on_boards.h"

namespace ruzd::node {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

class VesmarinManagerTest : public testing::ManagerOnBoardsTest {
protected:
    std::shared_ptr<CVesmarinManager> Start(uint32_t delay = 0) {
        ManagerSettings settings;
        settings.startupDelaySeconds = delay;
        auto manager = std::make_shared<CVesmarinManager>(settings);
        manager->Initialise(&callback_);
        return manager;
    }
};

TEST_F(VesmarinManagerTest, StartsWithTheDefaultDelayAndReportsTheStartingState) {
    auto manager = Start();
    EXPECT_EQ(manager->StartupDelaySeconds(), kDefaultStartupDelaySeconds);
    EXPECT_EQ(manager->CommandPort(), command_port_);
    EXPECT_THAT(callback_.states(), ElementsAre(std::pair<int32_t, int32_t>{0, 1}));
    EXPECT_FALSE(manager->IsConnectedSocket(nullptr));
    EXPECT_TRUE(manager->HasCommandHandler(12));
    EXPECT_FALSE(manager->HasCommandHandler(24));
}

TEST_F(VesmarinManagerTest, OwnsAndPublishesTheHardwareFacade) {
    auto manager = Start();
    ASSERT_NE(manager->Hardware(), nullptr);
    EXPECT_EQ(telephony::PublishedHardware(), manager->Hardware());
    manager.reset();
    EXPECT_EQ(telephony::PublishedHardware(), nullptr);
}

TEST_F(VesmarinManagerTest, KeepsAGivenDelay) {
    EXPECT_EQ(Start(90)->StartupDelaySeconds(), 90u);
}

TEST_F(VesmarinManagerTest, SecondManagerOfTheMachineIsRefused) {
    auto first = Start();
    ManagerSettings settings;
    auto second = std::make_shared<CVesmarinManager>(settings);
    try {
        second->Initialise(nullptr);
        FAIL() << "a second manager started";
    } catch (const CExceptionCM& error) {
        EXPECT_STREQ(error.what(), "Another instance of the Pelwix is already running!");
        EXPECT_TRUE(error.IsFatal());
    }
    EXPECT_EQ(second->Listener(), nullptr);
}

TEST_F(VesmarinManagerTest, StopRequestWithoutAConnectionStopsAtOnce) {
    auto manager = Start();
    manager->StopRequest();
    EXPECT_EQ(callback_.stops(), 1);
}

TEST_F(VesmarinManagerTest, FramesDuringTheDelayAreDroppedAndKeepAlivesAnsweredAfterIt) {
    StartDebugLog();
    auto manager = Start();
    testing::CommandPeer peer(command_port_);
    ASSERT_TRUE(peer.IsConnected());

    // Taken within the delay (the clock stands still until the node has it), and dropped.
    peer.SendInts(12, 1, {7});
    ASSERT_EQ(CountLogLines("OnSocketReceiveInfo", 1), 1u);
    EXPECT_EQ(manager->StartupDelaySeconds(), kDefaultStartupDelaySeconds);

    clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
    peer.SendInts(12, 2, {8});
    const auto reply = peer.ReceiveInts();
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, (std::vector<int32_t>{1, 8}));
    EXPECT_EQ(manager->StartupDelaySeconds(), 0u);
    // Without an active connection no client is initialised: message 1 only, and the next
    // keep-alive's echo right after it.
    peer.SendInts(12, 3, {9});
    EXPECT_EQ(peer.ReceiveInts(), (std::vector<int32_t>{1, 9}));
}

TEST_F(VesmarinManagerTest, UnknownCodesAndATruncatedKeepAliveKeepTheConnection) {
    auto manager = Start();
    clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
    testing::CommandPeer peer(command_port_);
    ASSERT_TRUE(peer.IsConnected());

    peer.Send(24, 1);
    peer.Send(15, 2);
    // A keep-alive without its value is read as far as it goes and still answered.
    peer.Send(12, 3);
    const auto first = peer.ReceiveInts();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, (std::vector<int32_t>{1, 0}));
    peer.SendInts(12, 4, {9});
    const auto second = peer.ReceiveInts();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, (std::vector<int32_t>{1, 9}));
}

TEST_F(VesmarinManagerTest, ACloseWithoutAnActiveConnectionReportsTheLinkDown) {
    auto manager = Start();
    {
        testing::CommandPeer peer(command_port_);
        ASSERT_TRUE(peer.IsConnected());
        clock_.Advance(std::chrono::seconds(kDefaultStartupDelaySeconds));
        peer.SendInts(12, 1, {1});
        ASSERT_TRUE(peer.Receive().has_value());
    }
    testing::Eventually([&] { return callback_.states().size() >= 2; });
    manager.reset();
    // The close reports the link down, and so does every later stop of the workers (the close
    // of all channels and the end of the manager): never anything but down.
    const auto states = callback_.states();
    ASSERT_GE(states.size(), 2u);
    EXPECT_EQ(states.front(), (std::pair<int32_t, int32_t>{0, 1}));
    const decltype(callback_.states()) later(states.begin() + 1, states.end());
    EXPECT_THAT(later, Each(std::pair<int32_t, int32_t>{0, 0}));
}

}  // namespace
}  // namespace ruzd::node
