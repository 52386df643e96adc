// Strangers on the node's two ports, with connections of the test's own against the real node
// program: they cannot keep the central server out, a connection that says nothing valid does
// not stay, what they send costs the debug log less than four bytes for each byte, the short
// connections of one address, or of thousands of loopback addresses, pay from one log budget,
// whose counts come out when due with no other line to bring them, valid commands sent as fast
// as the node takes them keep the central server's waiting little, a refused CNINIT gives its
// sender none of the central server's rights, a flood of unknown lines on file connections that
// are not the central server's, authorised or not, is ended before it costs the node or the
// central server's handshakes anything, and peers outside the registry's "Central Server
// Addresses" are closed at accept; without that list the node says at start that anyone may act
// as the central server.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "foundation/registry.h"
#include "platform/stop_signals.h"
#include "testing/busy_strangers.h"
#include "testing/command_peer.h"
#include "testing/eventually.h"
#include "testing/file_peer.h"
#include "testing/initialised_node.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/stranger_flood.h"

namespace ruzd::app {
namespace {

using testing::CommandPeer;
using testing::RawConnection;

constexpr int32_t kCNPING = 12;
constexpr int32_t kCNSTGR = 13;
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kNoSuchCommand = 30000;
constexpr int32_t kKeepAliveEcho = 1;

// Strangers that take most of the listener's "Max Connections" (32), as in the field.
constexpr size_t kBusyStrangers = 28;

using Clock = std::chrono::steady_clock;

class PortStrangersTest : public testing::InitialisedNodeTest {
protected:
    PortStrangersTest() { UseBoards("voice 1 4\nip 0 0\n"); }

    static std::vector<std::string> Arguments() { return {"-debug", "-d", "-w1"}; }

    // What the node's debug files hold now, once a keep-alive of the central server has been
    // answered (every line caused before it has been handed to the log's writer by then).
    uint64_t DebugBytes() {
        Settle();
        return DebugFolderBytes();
    }

    uint64_t DebugFolderBytes() {
        uint64_t total = 0;
        for (const auto& entry :
             std::filesystem::directory_iterator(work_.path() / "node" / "debug")) {
            total += entry.file_size();
        }
        return total;
    }

    // Runs `churn` (one short connection of a stranger; true when the node answered it) as
    // often as `each` on `threads` threads at once; how many the node answered.
    static int ChurnAtOnce(int threads, int each, const std::function<bool(int)>& churn) {
        std::atomic<int> answered{0};
        std::vector<std::thread> churners;
        for (int thread = 0; thread < threads; ++thread) {
            churners.emplace_back([&] {
                for (int i = 0; i < each; ++i) {
                    answered.fetch_add(churn(i) ? 1 : 0);
                }
            });
        }
        for (std::thread& churner : churners) {
            churner.join();
        }
        return answered.load();
    }

    // Who floods the file port, and how.
    struct Flood {
        bool compress = false;
        size_t strangers = 1;
        bool authorised = false;
    };
    void FloodOfUnknownLinesBesideTheCentralHandshakes(const Flood& flood);

    // The 99th percentile of the round trips of `count` keep-alives of `peer`, one after the
    // other, or of those that `within` leaves time for.
    static std::chrono::microseconds KeepAliveP99(CommandPeer& peer, size_t count,
                                                  Clock::duration within) {
        std::vector<Clock::duration> round_trips;
        for (const Clock::time_point end = Clock::now() + within;
             round_trips.size() < count && Clock::now() < end;) {
            const Clock::time_point begin = Clock::now();
            peer.SendInts(kCNPING, 100, {100});
            EXPECT_TRUE(peer.ReceiveCode(kKeepAliveEcho).has_value());
            round_trips.push_back(Clock::now() - begin);
        }
        std::sort(round_trips.begin(), round_trips.end());
        return std::chrono::duration_cast<std::chrono::microseconds>(
            round_trips[std::min(round_trips.size() * 99 / 100, round_trips.size() - 1)]);
    }

    static size_t CountOf(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++count;
        }
        return count;
    }
};

// ---- The command port ----

TEST_F(PortStrangersTest, CommandPortSilentConnectionsNeverKeepTheCentralOutNorPushItOut) {
    node_ = StartNode(Arguments());
    // As many as the listener holds ("Max Connections"), before the central server comes.
    std::vector<RawConnection> silent;
    silent.push_back(RawConnection::ConnectWhenListening(command_port_));
    for (int i = 1; i < 32; ++i) {
        silent.push_back(RawConnection::Connect(command_port_));
    }
    // The central server's connection makes room by closing the oldest that never became
    // active, and becomes the active one.
    Initialise();
    EXPECT_TRUE(silent.front().ClosedWithin(testing::kPatience));

    // A second wave finds the active connection untouchable.
    std::vector<RawConnection> more;
    for (int i = 0; i < 8; ++i) {
        more.push_back(RawConnection::Connect(command_port_));
    }
    Settle(100);
    EXPECT_THAT(node_->DebugLog(), ::testing::HasSubstr("connections, to make room for a new one"));
}

TEST_F(PortStrangersTest, CommandPortClosesAConnectionWithoutAValidCommandAfterTenSeconds) {
    // Ten seconds of the node's are five of the test's: room enough for a loaded machine to
    // answer the valid connection's first keep-alive in time.
    environment_.Set("RUZD_TIME_SCALE", "2");
    node_ = StartNode(Arguments());
    CommandPeer valid(command_port_, [this] { return node_->HasEnded(); });
    ASSERT_TRUE(valid.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
    // Each from an address of its own, whose lines are not paid for by the others'.
    RawConnection silent = RawConnection::ConnectFromAddress("127.0.0.3", command_port_);
    CommandPeer garbage(RawConnection::ConnectFromAddress("127.0.0.4", command_port_));
    garbage.SendInts(kNoSuchCommand, 1, {});

    EXPECT_TRUE(silent.ClosedWithin(testing::kPatience));
    EXPECT_TRUE(garbage.ClosedByNode(testing::kPatience));
    // The connection whose keep-alive was answered stays.
    valid.SendInts(kCNPING, 7, {7});
    EXPECT_EQ(valid.ReceiveCode(kKeepAliveEcho).has_value(), true);
    EXPECT_TRUE(node_->WaitForLog("closed: no valid command within 10 s"));
}

TEST_F(PortStrangersTest, CommandPortAStrangersFloodWritesLessLogThanFourTimesItsBytes) {
    StartAndInitialise(Arguments());
    const uint64_t before = DebugBytes();
    uint64_t sent = 0;
    {
        CommandPeer stranger(command_port_);
        // Unknown commands, and known ones that only the active connection may send.
        for (int32_t i = 0; i < 20000; ++i) {
            stranger.SendInts(i % 2 == 0 ? kNoSuchCommand : kCNSTRT, i, {});
        }
        sent = stranger.SentBytes();
    }
    ASSERT_TRUE(node_->WaitForLog(" more lines from loopback suppressed"));
    const uint64_t written = DebugBytes() - before;
    EXPECT_LT(written, 4 * sent) << written << " bytes of log for " << sent << " bytes";
}

TEST_F(PortStrangersTest, CommandPortShortConnectionsOfOneAddressShareOneLogBudget) {
    // No central server yet, so that the node answers anyone's keep-alive: each connection's
    // command is known to have been handled.
    node_ = StartNode(Arguments());
    {
        CommandPeer first(RawConnection::ConnectWhenListening(command_port_));
        ASSERT_TRUE(first.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
    }
    const uint64_t before = DebugFolderBytes();
    // Connect, a keep-alive, close: a new connection for every command, several at once.
    const int answered = ChurnAtOnce(8, 2500, [this](int32_t i) {
        CommandPeer stranger(RawConnection::ConnectFromAddress("127.0.0.2", command_port_));
        stranger.SendInts(kCNPING, i, {i});
        return stranger.ReceiveCode(kKeepAliveEcho).has_value();
    });
    EXPECT_EQ(answered, 20000);
    // Their summary line, which also means that every line before it is in the files.
    EXPECT_TRUE(node_->WaitForLog(" more lines from loopback suppressed"));
    const uint64_t written = DebugFolderBytes() - before;
    EXPECT_LT(written, uint64_t{1} << 20) << written << " bytes of log";
}

TEST_F(PortStrangersTest, CommandPortStrangersOfTenThousandAddressesWriteLessThanAMegabyte) {
    // No central server yet, so that the node answers anyone's keep-alive: each stranger's
    // commands are known to have been handled before it closes.
    node_ = StartNode(Arguments());
    {
        CommandPeer first(RawConnection::ConnectWhenListening(command_port_));
        ASSERT_TRUE(first.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
    }
    const uint64_t before = DebugFolderBytes();
    // Each from a loopback address of its own: 30 unknown commands, a keep-alive, close.
    constexpr size_t kStrangers = 10000;
    std::atomic<size_t> answered{0};
    const size_t connected = testing::StrangerFlood::FromManyAddresses(
        command_port_, kStrangers, 4, [&answered](RawConnection connection, size_t index) {
            CommandPeer stranger(std::move(connection));
            for (int32_t i = 0; i < 30; ++i) {
                stranger.SendInts(kNoSuchCommand, i, {});
            }
            const auto id = static_cast<int32_t>(index);
            stranger.SendInts(kCNPING, id, {id});
            answered += stranger.ReceiveCode(kKeepAliveEcho).has_value() ? 1 : 0;
        });
    EXPECT_EQ(connected, kStrangers);
    EXPECT_EQ(answered.load(), kStrangers);
    // The node still answers.
    CommandPeer after(command_port_);
    after.SendInts(kCNPING, 7, {7});
    EXPECT_TRUE(after.ReceiveCode(kKeepAliveEcho).has_value());

    EXPECT_TRUE(node_->WaitForLog(" more lines from loopback suppressed"));
    // The first lines of the first strangers are written.
    EXPECT_TRUE(node_->WaitForLog("Unknown command: 30000"));
    const uint64_t written = DebugFolderBytes() - before;
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, uint64_t{1} << 20) << written << " bytes of log";
}

// A stranger floods, a peer outside "Central Server Addresses" is refused just after, and then
// nobody sends anything: the refusal is written, or counted in a summary that comes without
// another line to bring it, within a minute (of the node's clock, ten times as fast here). After
// a second flood, a refusal just before the stop comes out at the stop. No summary names an
// empty source.
TEST_F(PortStrangersTest, CommandPortCountsOfAFloodAndOfRefusalsAfterItComeOutWithNoOtherLine) {
    environment_.Set("RUZD_TIME_SCALE", "10");
    foundation::CRegistry("Pelwix").WriteString("Central Server Addresses", "127.0.0.1");
    node_ = StartNode(Arguments());
    // No central server yet, so that the node answers the stranger's keep-alive: every line of
    // its flood has been handed to the log by then.
    const auto flood = [this] {
        CommandPeer stranger(RawConnection::ConnectWhenListening(command_port_));
        ASSERT_TRUE(stranger.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
        for (int32_t i = 0; i < 2000; ++i) {
            stranger.SendInts(kNoSuchCommand, i, {});
        }
        stranger.SendInts(kCNPING, 7, {7});
        ASSERT_TRUE(stranger.ReceiveCode(kKeepAliveEcho).has_value());
    };
    flood();
    const std::string summary = " more lines from loopback suppressed";
    ASSERT_TRUE(node_->WaitForLog(summary));
    const auto written_or_counted = [this, &summary](const std::string& refusal,
                                                     size_t summaries_before) {
        const std::string log = node_->DebugLog();
        return log.find(refusal) != std::string::npos || CountOf(log, summary) > summaries_before;
    };

    const size_t after_flood = CountOf(node_->DebugLog(), summary);
    EXPECT_TRUE(RawConnection::ConnectFromAddress("127.0.0.2", command_port_)
                    .ClosedWithin(testing::kPatience));
    EXPECT_TRUE(testing::Eventually([&] {
        return written_or_counted("Command port: connection from 127.0.0.2 refused", after_flood);
    }));

    flood();
    const size_t before_stop = CountOf(node_->DebugLog(), summary);
    EXPECT_TRUE(RawConnection::ConnectFromAddress("127.0.0.3", command_port_)
                    .ClosedWithin(testing::kPatience));
    node_->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    ASSERT_TRUE(node_->WaitForExit().has_value());
    EXPECT_TRUE(written_or_counted("Command port: connection from 127.0.0.3 refused", before_stop));
    EXPECT_EQ(CountOf(node_->DebugLog(), "from  suppressed"), 0u);
    // The list is set: nothing is said of anyone acting as the central server.
    EXPECT_THAT(node_->Stderr(), ::testing::Not(::testing::HasSubstr("Central Server Addresses")));
}

TEST_F(PortStrangersTest, WithoutCentralServerAddressesTheNodeSaysAtStartThatAnyoneMayActAsIt) {
    node_ = StartNode(Arguments());
    const std::string line = "\"Central Server Addresses\" is empty: any peer that reaches ports " +
                             std::to_string(command_port_) + " and " + std::to_string(file_port_) +
                             " may act as the central server (";
    ASSERT_TRUE(node_->WaitForLog(line));
    EXPECT_THAT(node_->DebugLog(), ::testing::HasSubstr("CNINIT"));
    EXPECT_THAT(node_->DebugLog(), ::testing::HasSubstr("update service"));
    node_->Signal(platform::SignalNumber(platform::StopSignal::kTerminate));
    ASSERT_TRUE(node_->WaitForExit().has_value());
    EXPECT_EQ(CountOf(node_->Stderr(), "Pelwix: " + line), 1u) << node_->Stderr();
    EXPECT_EQ(CountOf(node_->DebugLog(), line), 1u);
}

// Strangers that send valid commands as fast as the node takes them, each from an address of its
// own: the central server's keep-alives wait for a few of each stranger's commands at most,
// before its CNINIT as after it, and its session goes on beside them. The node is measured
// against itself without them: a generous bound that a node which reads each stranger in long
// turns (some 300 ms a keep-alive) misses by far.
TEST_F(PortStrangersTest, CommandPortStrangersValidFramesKeepTheActiveCentralWaitingLittle) {
    StartAndInitialise(Arguments());
    const std::chrono::microseconds quiet = KeepAliveP99(*peer_, 200, std::chrono::seconds(3));
    testing::BusyStrangers strangers(command_port_, kBusyStrangers, testing::ValidCommandFrames());
    ASSERT_TRUE(testing::Eventually([&] { return strangers.Sending() == kBusyStrangers; }));
    const uint64_t before = strangers.SentBytes();
    const std::chrono::microseconds flooded = KeepAliveP99(*peer_, 200, std::chrono::seconds(3));
    // The strangers were served all the while.
    EXPECT_GT(strangers.SentBytes() - before, uint64_t{1} << 20);
    EXPECT_LT(flooded, 4 * quiet + std::chrono::milliseconds(150))
        << flooded.count() << " us beside the strangers, " << quiet.count() << " us without";
}

TEST_F(PortStrangersTest, CommandPortBeforeAnyCentralEveryConnectionIsServedInTurn) {
    node_ = StartNode(Arguments());
    CommandPeer central(RawConnection::ConnectWhenListening(command_port_));
    ASSERT_TRUE(central.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
    const std::chrono::microseconds quiet = KeepAliveP99(central, 100, std::chrono::seconds(3));
    testing::BusyStrangers strangers(command_port_, kBusyStrangers, testing::ValidCommandFrames());
    ASSERT_TRUE(testing::Eventually([&] { return strangers.Sending() == kBusyStrangers; }));
    const std::chrono::microseconds flooded = KeepAliveP99(central, 100, std::chrono::seconds(3));
    EXPECT_LT(flooded, 4 * quiet + std::chrono::milliseconds(150))
        << flooded.count() << " us beside the strangers, " << quiet.count() << " us without";
    // The whole session, which makes the central server's connection the active one.
    Initialise();
}

TEST_F(PortStrangersTest, CommandPortAStrangersRefusedInitGivesItNoRightsOfTheCentral) {
    node_ = StartNode(Arguments());
    // From the central server's own machine, before the central server: no file connection is
    // authorised, so its CNINIT is refused.
    CommandPeer stranger(RawConnection::ConnectWhenListening(command_port_));
    ASSERT_TRUE(stranger.AwaitCommandsAccepted([this] { return node_->HasEnded(); }));
    stranger.SendInit(1);
    stranger.Send(kCNSTGR, 2);
    stranger.SendInts(kCNPING, 3, {3});
    ASSERT_TRUE(stranger.ReceiveCode(kKeepAliveEcho).has_value());
    EXPECT_TRUE(node_->WaitForLog("CNSTGR ignored: not from the central server's connection"));
    // The node still takes commands: the central server's session follows at once.
    Initialise();
}

// ---- The file port ----

TEST_F(PortStrangersTest, FilePortDeflatedLinesOfAStrangerWriteLessLogThanFourTimesTheirBytes) {
    foundation::CRegistry("Pelwix").WriteDword("FileCacheSyncUseCompression", 1);
    StartAndInitialise(Arguments());
    // Authorised with the password everybody knows, from a machine that is not the central
    // server's.
    std::unique_ptr<testing::FilePeer> stranger =
        testing::FilePeer::AuthorisedFrom("127.0.0.2", file_port_);
    ASSERT_TRUE(stranger);
    ASSERT_TRUE(stranger->Compressing());
    const uint64_t before = DebugBytes();
    const std::string line = "NOSUCH " + std::string(30000, 'A') + "\r";
    uint64_t sent = 0;
    try {
        for (int i = 0; i < 100; ++i) {
            const std::vector<uint8_t> wire =
                stranger->Encode(reinterpret_cast<const uint8_t*>(line.data()), line.size());
            stranger->SendWire(wire);
            sent += wire.size();
        }
    } catch (const std::runtime_error&) {
        // Ended at its ninth refused line, though authorised: it is not the central server's.
    }
    EXPECT_TRUE(stranger->WaitClosed());
    const uint64_t written = DebugBytes() - before;
    EXPECT_LT(written, 4 * sent) << written << " bytes of log for " << sent << " bytes";
}

TEST_F(PortStrangersTest, FilePortShortConnectionsOfOneAddressShareOneLogBudget) {
    StartAndInitialise(Arguments());
    const uint64_t before = DebugBytes();
    // Connect, the handshake, close, several at once.
    const int answered = ChurnAtOnce(4, 500, [this](int) {
        testing::FilePeer stranger(RawConnection::ConnectFromAddress("127.0.0.2", file_port_));
        return stranger.Handshake(false).has_value();
    });
    EXPECT_EQ(answered, 2000);
    EXPECT_TRUE(node_->WaitForLog(" more lines from loopback suppressed"));
    const uint64_t written = DebugBytes() - before;
    EXPECT_LT(written, uint64_t{64} << 10) << written << " bytes of log";
}

// Strangers send 20 MiB of unknown lines each ("X\r", plain or deflated to a few kilobytes)
// while the central server's file connection reconnects three times: one that only handshook,
// or twenty authorised with the password everybody knows, each from a loopback address of its
// own. The node ends each stranger after a few lines, logged once, spends little processor time
// on them all, and answers every handshake of the central server meanwhile, each in time.
void PortStrangersTest::FloodOfUnknownLinesBesideTheCentralHandshakes(const Flood& flood) {
    foundation::CRegistry("Pelwix").WriteDword("FileCacheSyncUseCompression",
                                               flood.compress ? 1 : 0);
    StartAndInitialise(Arguments());
    const double cpu_before = testing::ProcessCpuSeconds(node_->pid());
    std::vector<std::unique_ptr<testing::FilePeer>> strangers;
    for (size_t index = 0; index < flood.strangers; ++index) {
        const std::string address = testing::StrangerFlood::LoopbackAddress(index);
        if (flood.authorised) {
            strangers.push_back(testing::FilePeer::AuthorisedFrom(address.c_str(), file_port_));
            ASSERT_TRUE(strangers.back());
        } else {
            strangers.push_back(std::make_unique<testing::FilePeer>(
                RawConnection::ConnectFromAddress(address.c_str(), file_port_)));
            ASSERT_TRUE(strangers.back()->Handshake(false));
        }
        ASSERT_EQ(strangers.back()->Compressing(), flood.compress);
    }
    std::vector<uint8_t> lines;
    lines.reserve(size_t{20} << 20);
    while (lines.size() < (size_t{20} << 20)) {
        lines.push_back('X');
        lines.push_back('\r');
    }
    std::vector<std::thread> floods;
    for (const auto& stranger : strangers) {
        floods.emplace_back([&lines, &stranger, compress = flood.compress] {
            try {
                // Plain, the lines are their own wire.
                stranger->SendWire(compress ? stranger->Encode(lines.data(), lines.size()) : lines);
            } catch (const std::runtime_error&) {
                // The node closed the connection before it took everything.
            }
        });
    }
    for (int reconnect = 0; reconnect < 3; ++reconnect) {
        const auto begin = std::chrono::steady_clock::now();
        testing::FilePeer central(RawConnection::Connect(file_port_));
        EXPECT_TRUE(central.Handshake(false).has_value()) << "handshake " << reconnect;
        // The central server gives up after 3 s; a loaded machine is given more.
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15))
            << "handshake " << reconnect;
    }
    for (std::thread& sender : floods) {
        sender.join();
    }
    // Closed by the node ("... ended: more than 8 refused lines ..."), though the lines that say
    // so may be past what loopback's strangers are given in the log.
    for (size_t index = 0; index < strangers.size(); ++index) {
        if (!strangers[index]->WaitClosed()) {
            ADD_FAILURE() << "stranger " << index << " still connected";
            break;
        }
    }
    // The central server's own file connection is untouched by all of it.
    files_->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(files_->ReadLine(), "HEARTB 0 00000000010000000002");
    Settle();
    // A few hundredths of a second for twenty of them, sanitized; a node that took their lines
    // in long turns spent more than a minute.
    const double cpu = testing::ProcessCpuSeconds(node_->pid()) - cpu_before;
    EXPECT_LT(cpu, 5.0) << "seconds of processor time";
    const std::string log = node_->DebugLog();
    EXPECT_LE(CountOf(log, " refused lines"), flood.strangers);
    EXPECT_LE(CountOf(log, "OnCommandNotFound X"), 9 * flood.strangers);
}

TEST_F(PortStrangersTest, FilePortAStrangersFloodOfLinesEndsSoonAndTheCentralHandshakesMeanwhile) {
    FloodOfUnknownLinesBesideTheCentralHandshakes({.compress = false});
}

TEST_F(PortStrangersTest, FilePortAStrangersDeflatedFloodEndsSoonAndTheCentralHandshakesMeanwhile) {
    FloodOfUnknownLinesBesideTheCentralHandshakes({.compress = true});
}

TEST_F(PortStrangersTest, FilePortTwentyAuthorisedStrangersFloodingEndSoonAndCostLittle) {
    FloodOfUnknownLinesBesideTheCentralHandshakes(
        {.compress = false, .strangers = 20, .authorised = true});
}

TEST_F(PortStrangersTest, FilePortTwentyAuthorisedStrangersDeflatedFloodsEndSoonAndCostLittle) {
    FloodOfUnknownLinesBesideTheCentralHandshakes(
        {.compress = true, .strangers = 20, .authorised = true});
}

TEST_F(PortStrangersTest, FilePortHeartbeatStampsOfAnySizeAreReadChecked) {
    StartAndInitialise(Arguments());
    std::unique_ptr<testing::FilePeer> stranger =
        testing::FilePeer::AuthorisedFrom("127.0.0.2", file_port_);
    ASSERT_TRUE(stranger);
    // The largest high half, and a stamp from the future: neither is a round trip.
    stranger->SendText("HEARTB 0 21474836480000000000\r");
    stranger->SendText("HEARTB 0 42949672954294967295\r");
    stranger->SendText("HEARTB 1 00000000010000000002\r");
    EXPECT_EQ(stranger->ReadLine(), "HEARTB 0 00000000010000000002");
    Settle();
    EXPECT_FALSE(node_->HasEnded()) << node_->Stderr();
}

// ---- Both ports ----

TEST_F(PortStrangersTest, APortOutsideOneTo65535IsRefusedWithAClearError) {
    foundation::CRegistry("Pelwix").WriteDword("Local TCP port", 65536 + command_port_);
    node_ = StartNode(Arguments());
    ASSERT_TRUE(node_->WaitForExit().has_value());
    EXPECT_THAT(node_->DebugLog(), ::testing::HasSubstr("The registry's \"Local TCP port\" is " +
                                                        std::to_string(65536 + command_port_) +
                                                        ", which is no TCP port (1 to 65535)."));
    // Nothing listens on the port the number would have been cut to.
    EXPECT_FALSE(RawConnection::Connect(command_port_).valid());
}

TEST_F(PortStrangersTest, BothPortsLetInOnlyTheCentralServerAddresses) {
    // Commas or white space between the entries; one that names nothing is reported.
    foundation::CRegistry("Pelwix").WriteString("Central Server Addresses",
                                                "10.0.0.0/8, 127.0.0.1 127.0.0.300");
    StartAndInitialise(Arguments());
    for (int attempt = 0; attempt < 3; ++attempt) {
        RawConnection command = RawConnection::ConnectFromAddress("127.0.0.2", command_port_);
        EXPECT_TRUE(command.ClosedWithin(testing::kPatience));
        RawConnection file = RawConnection::ConnectFromAddress("127.0.0.2", file_port_);
        EXPECT_TRUE(file.ClosedWithin(testing::kPatience));
    }
    ASSERT_TRUE(node_->WaitForLog("File port: connection from 127.0.0.2 refused"));
    Settle();
    const std::string log = node_->DebugLog();
    // Once a minute for each address, however often it tries.
    EXPECT_EQ(CountOf(log, "Command port: connection from 127.0.0.2 refused"), 1u);
    EXPECT_EQ(CountOf(log, "File port: connection from 127.0.0.2 refused"), 1u);
    EXPECT_THAT(log, ::testing::HasSubstr("\"Central Server Addresses\" entry \"127.0.0.300\" is "
                                          "neither an address nor an address range"));
}

}  // namespace
}  // namespace ruzd::app
