// The watchdog's peer port as a stranger meets it: floods of idle and of talking connections
// beside the node's heartbeat, peers that never speak, addresses outside the access list. Through
// the real programs and real sockets, with a faster clock.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/window_message.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/node_program.h"
#include "testing/os_for_tests.h"
#include "testing/stranger_flood.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"

namespace ruzd::watchdog {
namespace {

namespace fs = std::filesystem;
using testing::CountOf;
using testing::Eventually;
using testing::RawConnection;
using testing::TormbelProcess;

const int kTerminate = platform::SignalNumber(platform::StopSignal::kTerminate);
constexpr size_t kMaxPeers = 32;

std::string Port(uint16_t port) {
    return std::to_string(port);
}

// Garbage from a stranger as fast as the watchdog reads it, over a connection of its own.
uint64_t SendGarbage(unsigned port, size_t index, uint64_t budget, const std::atomic<bool>& stop) {
    RawConnection connection = RawConnection::Connect(port);
    if (!connection.valid() || !connection.SetSendPatience(std::chrono::milliseconds(500))) {
        return 0;
    }
    const std::string piece(4096, static_cast<char>('a' + index % 26));
    uint64_t sent = 0;
    while (sent < budget && !stop.load() && connection.SendAll(piece)) {
        sent += piece.size();
    }
    return sent;
}

size_t StillOpen(std::vector<RawConnection>& connections) {
    size_t open = 0;
    for (RawConnection& connection : connections) {
        open += connection.ClosedWithin(std::chrono::milliseconds(0)) ? 0 : 1;
    }
    return open;
}

// A node and its watchdog on a fast clock, the watchdog started once the node runs, so that the
// node's first heartbeat comes within one contact interval (21 s) of the watchdog's start. The
// countdown of 60 s leaves the heartbeat room for a slow build on a busy machine.
class PeerPortWithNodeTest : public testing::NodeProgramTest {
protected:
    static constexpr int kCountdown = 60;

    void StartBoth(size_t max_open_files = 0) {
        environment_.Set("RUZD_TIME_SCALE", "10");
        node_ = StartNode({"-debug", "-d"});
        ASSERT_TRUE(node_->WaitForLog("(No Tormbel instance found)"));
        dog_ = std::make_unique<TormbelProcess>(
            root_.path(), work_.path() / "dog",
            std::vector<std::string>{"-I" + std::to_string(kCountdown), "-U", "-B", "-A127.0.0.1",
                                     "-O" + Port(testing::FreePort()), "-Q" + Port(peer_port_)},
            std::vector<std::string>{"RUZD_TIME_SCALE=10",
                                     "RUZD_REBOOT_COMMAND=touch '" + rebooted_.string() + "'"},
            fs::path(), max_open_files);
        ASSERT_TRUE(node_->WaitForLog("to 1 (Tormbel is running and active)"));
        window_ = platform::FindWindow("Tormbel");
        ASSERT_TRUE(window_);
    }

    // Stops the watchdog; its log, which must hold no time-out.
    std::string StopWatchdog() {
        dog_->Signal(kTerminate);
        EXPECT_EQ(dog_->WaitForExit(), 0);
        const std::string log = dog_->Log();
        EXPECT_EQ(log.find("LOCAL TIMEOUT"), std::string::npos) << log;
        EXPECT_FALSE(fs::exists(rebooted_));
        EXPECT_NE(log.find("Tormbel was stopped"), std::string::npos);
        return log;
    }

    const uint16_t peer_port_ = testing::FreePort();
    const fs::path rebooted_ = work_.path() / "rebooted";
    std::unique_ptr<testing::NodeProcess> node_;
    std::unique_ptr<TormbelProcess> dog_;
    platform::WindowHandle window_;
};

TEST_F(PeerPortWithNodeTest, AThousandIdleConnectionsNeitherStopTheCountdownNorStayHeld) {
    constexpr size_t kFlood = 1020;
    ASSERT_TRUE(testing::RaiseDescriptorLimit(kFlood + 1024));
    // The descriptors of a program started the usual way: 1024.
    StartBoth(1024);

    std::vector<RawConnection> flood = testing::ConnectMany(peer_port_, kFlood);
    EXPECT_EQ(flood.size(), kFlood);
    // The newest are held, the older ones closed to make room for them.
    EXPECT_TRUE(Eventually([&] { return StillOpen(flood) <= kMaxPeers; }));
    // The node's heartbeats still come through and hold the countdown off.
    EXPECT_TRUE(testing::WaitForCountdownResets(window_, 3));
    // Two countdowns without a byte from them, and the held ones are closed too.
    EXPECT_TRUE(Eventually([&] { return StillOpen(flood) == 0; }));
    EXPECT_TRUE(testing::WaitForCountdownResets(window_, 1));

    const std::string log = StopWatchdog();
    // Logged once per address and minute (or once while the list stays full), not once per
    // connection.
    const size_t making_room = CountOf(log,
                                       "Peer connection from 127.0.0.1 closed to make room: "
                                       "32 connections held already\r\n");
    EXPECT_GE(making_room, 1u) << log;
    EXPECT_LE(making_room, 3u) << log;
    const size_t silent =
        CountOf(log, "Peer connection from 127.0.0.1 closed: nothing received for 120 s\r\n");
    EXPECT_GE(silent, 1u) << log;
    EXPECT_LE(silent, 3u) << log;
}

// Strangers who keep connecting and others who talk without pause: the heartbeat still resets
// the countdown, and the countdown keeps counting between two heartbeats (21 s apart, so it gets
// well below 45 unless its ticks wait behind the flood).
TEST_F(PeerPortWithNodeTest, StrangersWhoConnectAndTalkHoldUpNeitherTheHeartbeatNorTheTicks) {
    StartBoth();
    testing::StrangerFlood flood(peer_port_, 200, SendGarbage);
    EXPECT_TRUE(Eventually([&] {
        return flood.SilentConnections() >= 200 && flood.GarbageBytes() >= (uint64_t{1} << 20);
    }));
    EXPECT_TRUE(testing::WaitForCountdownResets(window_, 3));
    EXPECT_TRUE(
        Eventually([&] { return testing::CountdownOf(window_).value_or(kCountdown) <= 45; }));
    EXPECT_TRUE(testing::WaitForCountdownResets(window_, 1));
    StopWatchdog();
}

class PeerPortTest : public ::testing::Test {
protected:
    testing::TempRoot root_;
    testing::TempDir work_;
};

TEST_F(PeerPortTest, OnlyTheAccessListsAddressesAreHeldAndEachRefusedAddressIsLoggedOncePerMinute) {
    const uint16_t peer_port = testing::FreePort();
    TormbelProcess dog(root_.path(), work_.path() / "dog",
                       {"-I31", "-U", "-A127.0.0.1", "-O" + Port(testing::FreePort()),
                        "-Q" + Port(peer_port), "-V127.0.0.2, 127.0.1.0/24"},
                       {"RUZD_TIME_SCALE=10"});
    RawConnection listed;
    ASSERT_TRUE(Eventually([&] {
        listed = RawConnection::ConnectFromAddress("127.0.0.2", peer_port);
        return listed.valid();
    }));
    RawConnection in_range = RawConnection::ConnectFromAddress("127.0.1.7", peer_port);
    ASSERT_TRUE(in_range.valid());
    // Refused at accept: closed at once, before a byte is read.
    for (int i = 0; i < 3; ++i) {
        RawConnection stranger = RawConnection::Connect(peer_port);
        EXPECT_TRUE(stranger.WaitClosed());
    }
    RawConnection neighbour = RawConnection::ConnectFromAddress("127.0.0.3", peer_port);
    EXPECT_TRUE(neighbour.WaitClosed());
    // Taken in order: the listed peers came first and are held.
    EXPECT_FALSE(listed.ClosedWithin(std::chrono::milliseconds(0)));
    EXPECT_FALSE(in_range.ClosedWithin(std::chrono::milliseconds(0)));
    std::string log = dog.Log();
    EXPECT_EQ(CountOf(log, "Peer connection from 127.0.0.1 refused: not in the access list\r\n"),
              1u)
        << log;
    EXPECT_EQ(CountOf(log, "Peer connection from 127.0.0.3 refused: not in the access list\r\n"),
              1u);

    // A peer that speaks stays while one that keeps silent for two countdowns is closed.
    EXPECT_TRUE(Eventually([&] {
        in_range.SendAll(std::string("HEARTBEAT"));
        return listed.ClosedWithin(std::chrono::milliseconds(200));
    }));
    EXPECT_FALSE(in_range.ClosedWithin(std::chrono::milliseconds(0)));

    // A minute later the stranger is logged again.
    EXPECT_TRUE(Eventually([&] {
        RawConnection stranger = RawConnection::Connect(peer_port);
        stranger.WaitClosed();
        return CountOf(dog.Log(), "Peer connection from 127.0.0.1 refused") == 2;
    }));
    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
}

}  // namespace
}  // namespace ruzd::watchdog
