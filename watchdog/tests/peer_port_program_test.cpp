// The watchdog's peer port as a stranger meets it: a flood of idle connections beside the node's
// heartbeat, peers that never speak, addresses outside the access list. Through the real programs
// and real sockets, with a faster clock.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/stop_signals.h"
#include "platform/window_message.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/node_program.h"
#include "testing/os_for_tests.h"
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

size_t StillOpen(std::vector<RawConnection>& connections) {
    size_t open = 0;
    for (RawConnection& connection : connections) {
        open += connection.ClosedWithin(std::chrono::milliseconds(0)) ? 0 : 1;
    }
    return open;
}

class PeerPortWithNodeTest : public testing::NodeProgramTest {};

TEST_F(PeerPortWithNodeTest, AThousandIdleConnectionsNeitherStopTheCountdownNorStayHeld) {
    constexpr size_t kFlood = 1020;
    ASSERT_TRUE(testing::RaiseDescriptorLimit(kFlood + 1024));
    environment_.Set("RUZD_TIME_SCALE", "10");
    const uint16_t peer_port = testing::FreePort();
    const fs::path rebooted = work_.path() / "rebooted";
    auto node = StartNode({"-debug", "-d"});
    // The descriptors of a program started the usual way: 1024.
    TormbelProcess dog(
        root_.path(), work_.path() / "dog",
        {"-I31", "-U", "-B", "-A127.0.0.1", "-O" + Port(testing::FreePort()),
         "-Q" + Port(peer_port)},
        {"RUZD_TIME_SCALE=10", "RUZD_REBOOT_COMMAND=touch '" + rebooted.string() + "'"}, {}, 1024);
    ASSERT_TRUE(node->WaitForLog("to 1 (Tormbel is running and active)"));
    const platform::WindowHandle window = platform::FindWindow("Tormbel");
    ASSERT_TRUE(window);

    std::vector<RawConnection> flood = testing::ConnectMany(peer_port, kFlood);
    EXPECT_EQ(flood.size(), kFlood);
    // The newest are held, the older ones closed to make room for them.
    EXPECT_TRUE(Eventually([&] { return StillOpen(flood) <= kMaxPeers; }));
    // The node's heartbeats still come through and hold the countdown off.
    EXPECT_TRUE(testing::WaitForCountdownResets(window, 3));
    // Two countdowns without a byte from them, and the held ones are closed too.
    EXPECT_TRUE(Eventually([&] { return StillOpen(flood) == 0; }));
    EXPECT_TRUE(testing::WaitForCountdownResets(window, 1));

    dog.Signal(kTerminate);
    EXPECT_EQ(dog.WaitForExit(), 0);
    const std::string log = dog.Log();
    EXPECT_EQ(log.find("LOCAL TIMEOUT"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(rebooted));
    // Logged once per address and minute (or once while the list stays full), not once per
    // connection.
    const size_t making_room = CountOf(log,
                                       "Peer connection from 127.0.0.1 closed to make room: "
                                       "32 connections held already\r\n");
    EXPECT_GE(making_room, 1u) << log;
    EXPECT_LE(making_room, 3u) << log;
    const size_t silent =
        CountOf(log, "Peer connection from 127.0.0.1 closed: nothing received for 62 s\r\n");
    EXPECT_GE(silent, 1u) << log;
    EXPECT_LE(silent, 3u) << log;
    EXPECT_NE(log.find("Tormbel was stopped"), std::string::npos);
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
