// Strangers on the node's two ports, with connections of the test's own against the real node
// program: they cannot keep the central server out, a connection that says nothing valid does
// not stay, what they send costs the debug log less than four bytes for each byte, the short
// connections of one address, or of thousands of loopback addresses, pay from one log budget,
// a flood of unknown lines on file connections that are not the central server's, authorised or
// not, is ended before it costs the node or the central server's handshakes anything, and peers
// outside the registry's "Central Server Addresses" are closed at accept.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
#include "testing/command_peer.h"
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
constexpr int32_t kCNSTRT = 15;
constexpr int32_t kNoSuchCommand = 30000;
constexpr int32_t kKeepAliveEcho = 1;

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
