#include "net/server_socket_thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "foundation/debug_log.h"
#include "foundation/registry.h"
#include "net/socket_log.h"
#include "net/tests/socket_recorder.h"
#include "platform/clock.h"
#include "platform/wsa_error.h"
#include "testing/debug_files.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"

namespace ruzd::net {
namespace {

using testing::Eventually;
using testing::RawConnection;
using testing::RawListener;
using testing::SocketRecorder;

unsigned ListeningPort(CServerSocketThread& thread) {
    auto server = thread.Socket();
    if (!server || !Eventually([&] { return server->IsListening(); })) {
        return 0;
    }
    std::string address;
    unsigned port = 0;
    server->GetSockName(address, port);
    return port;
}

// The accepted connections, once there are `count` of them.
std::vector<std::shared_ptr<CClientSocket>> WaitForClients(CServerSocketThread& thread,
                                                           size_t count) {
    auto server = thread.Socket();
    Eventually([&] { return server->Clients().size() == count; });
    return server->Clients();
}

class ServerSocketThreadTest : public ::testing::Test {
protected:
    SocketRecorder recorder;
};

TEST_F(ServerSocketThreadTest, DeliversEachConnectionsBytesSeparately) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    ASSERT_NE(port, 0u);
    RawConnection alpha = RawConnection::Connect(port);
    RawConnection beta = RawConnection::Connect(port);
    auto clients = WaitForClients(thread, 2);
    ASSERT_EQ(clients.size(), 2u);

    ASSERT_TRUE(alpha.SendAll(std::string("alpha")));
    ASSERT_TRUE(beta.SendAll(std::string("beta")));
    ASSERT_TRUE(recorder.WaitForTotal(9));

    std::vector<std::string> per_connection;
    for (const auto& client : clients) {
        per_connection.push_back(recorder.Received(client->Serial()));
    }
    EXPECT_THAT(per_connection, ::testing::UnorderedElementsAre("alpha", "beta"));
    EXPECT_TRUE(recorder.AllTerminated());
    EXPECT_NE(clients[0]->Serial(), clients[1]->Serial());
}

TEST_F(ServerSocketThreadTest, ListenerAndConnectionsKeepAliveAndSendWithoutDelay) {
    CServerSocketThread thread(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    auto clients = WaitForClients(thread, 1);
    ASSERT_EQ(clients.size(), 1u);

    for (const int fd : {thread.Socket()->PollFd(), clients[0]->PollFd()}) {
        const ruzd::testing::KeepAlive keep_alive = ruzd::testing::KeepAliveOf(fd);
        EXPECT_EQ(keep_alive.on, 1);
        EXPECT_EQ(keep_alive.idle, 60);
        EXPECT_EQ(keep_alive.interval, 1);
        EXPECT_TRUE(ruzd::testing::NoDelayOf(fd));
    }
}

TEST_F(ServerSocketThreadTest, SendGoesToEveryConnectionButTheOneLeftOut) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    EXPECT_TRUE(thread.SendString("nobody hears this"));

    std::vector<RawConnection> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(RawConnection::Connect(port));
    }
    auto clients = WaitForClients(thread, 3);
    ASSERT_EQ(clients.size(), 3u);
    // Learn which raw end belongs to which accepted connection.
    for (size_t i = 0; i < peers.size(); ++i) {
        peers[i].SendAll(std::string(1, static_cast<char>('a' + i)));
    }
    ASSERT_TRUE(recorder.WaitForTotal(3));
    std::shared_ptr<CClientSocket> left_out;
    for (const auto& client : clients) {
        if (recorder.Received(client->Serial()) == "b") {
            left_out = client;
        }
    }
    ASSERT_TRUE(left_out);

    EXPECT_TRUE(thread.SendString("event", left_out.get()));
    EXPECT_EQ(peers[0].ReadText(5), "event");
    EXPECT_EQ(peers[2].ReadText(5), "event");
    EXPECT_TRUE(peers[1].StaysQuiet(std::chrono::milliseconds(50)));
}

TEST_F(ServerSocketThreadTest, SendToAllReportsARefusingPeerAfterTryingEveryOne) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    std::vector<RawConnection> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(RawConnection::Connect(port));
        ASSERT_EQ(WaitForClients(thread, i + 1).size(), static_cast<size_t>(i + 1));
    }
    auto clients = thread.Socket()->Clients();
    // The middle one is shut down from here: it refuses every later send.
    clients[1]->Shutdown();

    EXPECT_FALSE(thread.SendString("x"));
    EXPECT_EQ(peers[0].ReadText(1), "x");
    EXPECT_EQ(peers[2].ReadText(1), "x");

    // The shut connection still notices its peer going, and leaves the list.
    peers[1].Close();
    EXPECT_TRUE(Eventually([&] { return thread.Socket()->Clients().size() == 2; }));
}

TEST_F(ServerSocketThreadTest, SendToPicksOnePeerByAddressAndPort) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    RawConnection first = RawConnection::Connect(port);
    ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
    RawConnection second = RawConnection::Connect(port);
    auto clients = WaitForClients(thread, 2);
    ASSERT_EQ(clients.size(), 2u);
    auto server = thread.Socket();

    std::string address;
    unsigned second_port = 0;
    ASSERT_TRUE(clients[1]->GetPeerName(address, second_port));
    EXPECT_EQ(address, "127.0.0.1");

    EXPECT_TRUE(server->SendTo("two", "127.0.0.1", second_port));
    EXPECT_EQ(second.ReadText(3), "two");
    EXPECT_TRUE(first.StaysQuiet(std::chrono::milliseconds(50)));

    // Port 0 takes the first connection of the address only.
    EXPECT_TRUE(server->SendTo("one", "127.0.0.1", 0));
    EXPECT_EQ(first.ReadText(3), "one");
    EXPECT_TRUE(second.StaysQuiet(std::chrono::milliseconds(50)));

    // Nobody there: nothing to fail.
    EXPECT_TRUE(server->SendTo("none", "10.1.2.3", 0));

    std::string ignored;
    unsigned ignored_port = 0;
    EXPECT_FALSE(server->GetPeerName(ignored, ignored_port));
}

TEST_F(ServerSocketThreadTest, ClosedConnectionsAreReportedWithTheirErrorAndForgotten) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    RawConnection orderly = RawConnection::Connect(port);
    ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
    const uint64_t orderly_serial = thread.Socket()->Clients()[0]->Serial();
    RawConnection abrupt = RawConnection::Connect(port);
    ASSERT_EQ(WaitForClients(thread, 2).size(), 2u);

    orderly.Close();
    ASSERT_TRUE(recorder.WaitForCloses(1));
    abrupt.SendAll(std::string("unread"));
    abrupt.Reset();
    ASSERT_TRUE(recorder.WaitForCloses(2));

    const auto closes = recorder.Closes();
    EXPECT_EQ(closes[0].serial, orderly_serial);
    EXPECT_EQ(closes[0].error, 0);
    EXPECT_EQ(closes[1].error, platform::kWsaEconnreset);
    EXPECT_TRUE(Eventually([&] { return !thread.Socket()->HasClients(); }));
}

TEST_F(ServerSocketThreadTest, TurnedAwayConnectionIsClosedAndTheListenerGoesOn) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    recorder.SetAccepting(false);
    RawConnection refused = RawConnection::Connect(port);
    EXPECT_TRUE(refused.WaitClosed());
    EXPECT_FALSE(thread.Socket()->HasClients());

    recorder.SetAccepting(true);
    RawConnection welcome = RawConnection::Connect(port);
    ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
    // One question per connection: the refused one was not offered again and again.
    EXPECT_EQ(recorder.Accepted().size(), 2u);
    welcome.SendAll(std::string("hi"));
    EXPECT_TRUE(recorder.WaitForTotal(2));
}

TEST_F(ServerSocketThreadTest, ATurnedAwayConnectionIsLogged) {
    ruzd::testing::TempRoot root;
    const auto folder = root.path() / "drives" / "c" / "Ruzd" / "Debug";
    std::filesystem::create_directories(folder);
    foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 0, true, 0);
    {
        CServerSocketThread thread(&recorder, 0);
        recorder.SetAccepting(false);
        RawConnection refused = RawConnection::Connect(ListeningPort(thread));
        EXPECT_TRUE(refused.WaitClosed());
    }
    foundation::StopDebugLog();

    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    EXPECT_NE(all.find(":So     1 --- Connection from 127.0.0.1:"), std::string::npos) << all;
    EXPECT_NE(all.find(" turned away"), std::string::npos);
}

TEST_F(ServerSocketThreadTest, AtTheLimitTheOldestButTheActiveConnectionMakesRoomLoggedOnce) {
    ruzd::testing::TempRoot root;
    const auto folder = root.path() / "drives" / "c" / "Ruzd" / "Debug";
    std::filesystem::create_directories(folder);
    foundation::CRegistry("Pelwix").WriteDword("Max Connections", 2);
    foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 0, true, 0);
    {
        CServerSocketThread thread(&recorder, 0);
        const unsigned port = ListeningPort(thread);
        RawConnection first = RawConnection::Connect(port);
        ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
        RawConnection second = RawConnection::Connect(port);
        const auto held = WaitForClients(thread, 2);
        ASSERT_EQ(held.size(), 2u);
        thread.Socket()->SetActiveConnection(held[0]->Serial());
        // Each newcomer ends the oldest connection that is not the active one.
        RawConnection third = RawConnection::Connect(port);
        EXPECT_TRUE(second.WaitClosed());
        RawConnection fourth = RawConnection::Connect(port);
        EXPECT_TRUE(third.WaitClosed());
        ASSERT_EQ(WaitForClients(thread, 2).size(), 2u);
        // The active connection goes on.
        EXPECT_TRUE(first.SendAll(std::string("still here")));
        EXPECT_TRUE(recorder.WaitForTotal(10));
    }
    foundation::StopDebugLog();

    size_t logged = 0;
    for (const std::string& line : ruzd::testing::DebugLines(folder)) {
        logged += line.find("closed: the oldest of 2 connections, to make room for a new one") !=
                  std::string::npos;
    }
    EXPECT_EQ(logged, 1u);
}

TEST_F(ServerSocketThreadTest, WithoutDescriptorsAcceptingPausesLogsOnceAndResumes) {
    ruzd::testing::TempRoot root;
    const auto folder = root.path() / "drives" / "c" / "Ruzd" / "Debug";
    std::filesystem::create_directories(folder);
    foundation::StartDebugLog("C:\\Ruzd\\Debug\\Tav", 0, true, 0);
    // The log's file is open before the descriptors run out.
    SocketLog("Descriptors run out now");
    platform::ManualClock clock(std::chrono::system_clock::now(), 1000);
    platform::ScopedClockOverride use_clock(clock);
    const auto pause = std::chrono::milliseconds(AcceptPause::kPauseMs);
    // The sanitizers check a virtual call's object once per type, through a pipe, which they
    // cannot make without descriptors: the calls are checked here first.
    clock.Advance(std::chrono::milliseconds(0));
    platform::CurrentClock().TickMs();
    {
        CServerSocketThread thread(&recorder, 0);
        const unsigned port = ListeningPort(thread);
        auto server = thread.Socket();
        RawConnection waiting;
        {
            ruzd::testing::LastDescriptorLeft last;
            ASSERT_TRUE(last.valid());
            waiting = RawConnection::Connect(port);
            ASSERT_TRUE(waiting.valid());
            ASSERT_TRUE(Eventually([&] { return server->AcceptPauses() == 1; }));
            EXPECT_TRUE(server->IsAcceptPaused());
            // Still without descriptors when the pause ends: it pauses again, logging nothing.
            clock.Advance(pause);
            ASSERT_TRUE(Eventually([&] { return server->AcceptPauses() == 2; }));
        }
        EXPECT_TRUE(server->Clients().empty());
        clock.Advance(pause);
        // The connection waited to be accepted and is taken now.
        ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
        EXPECT_TRUE(waiting.SendAll(std::string("late")));
        EXPECT_TRUE(recorder.WaitForTotal(4));
        EXPECT_EQ(server->AcceptPauses(), 2u);
    }
    foundation::StopDebugLog();

    size_t logged = 0;
    for (const std::string& line : ruzd::testing::DebugLines(folder)) {
        logged += line.find("pauses accepting: the process has no file descriptor left") !=
                  std::string::npos;
    }
    EXPECT_EQ(logged, 1u);
}

TEST_F(ServerSocketThreadTest, WhatTheSystemCannotTakeIsQueuedAndLeavesInOrder) {
    CServerSocketThread thread(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    auto clients = WaitForClients(thread, 1);
    ASSERT_EQ(clients.size(), 1u);

    // Far more than the socket buffers hold, while the peer reads nothing.
    constexpr size_t kChunk = 65536;
    constexpr size_t kChunks = 160;
    std::vector<uint8_t> chunk(kChunk);
    size_t largest_queue = 0;
    for (size_t i = 0; i < kChunks; ++i) {
        for (size_t j = 0; j < kChunk; ++j) {
            chunk[j] = static_cast<uint8_t>((i * kChunk + j) % 251);
        }
        ASSERT_TRUE(thread.Send(chunk.data(), static_cast<int>(chunk.size())));
        largest_queue = std::max(largest_queue, clients[0]->QueuedBytes());
    }
    EXPECT_GT(largest_queue, 0u);

    const auto received = peer.Read(kChunk * kChunks);
    ASSERT_EQ(received.size(), kChunk * kChunks);
    for (size_t k = 0; k < received.size(); ++k) {
        ASSERT_EQ(received[k], static_cast<uint8_t>(k % 251)) << "at byte " << k;
    }
    EXPECT_TRUE(Eventually([&] { return clients[0]->QueuedBytes() == 0; }));
}

TEST_F(ServerSocketThreadTest, SendersOnManyThreadsNeverInterleaveTheirBlocks) {
    CServerSocketThread thread(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);

    // Each block: sender, length (two bytes), then `length` copies of the sender's byte.
    constexpr int kSenders = 8;
    constexpr int kBlocks = 300;
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&thread, s] {
            for (int b = 0; b < kBlocks; ++b) {
                const int length = 1 + (b * 977 + s * 131) % 9000;
                std::vector<uint8_t> block(3 + static_cast<size_t>(length),
                                           static_cast<uint8_t>(s));
                block[1] = static_cast<uint8_t>(length >> 8);
                block[2] = static_cast<uint8_t>(length & 0xFF);
                thread.Send(block.data(), static_cast<int>(block.size()));
            }
        });
    }
    std::vector<int> seen(kSenders, 0);
    for (int block = 0; block < kSenders * kBlocks; ++block) {
        const auto header = peer.Read(3);
        ASSERT_EQ(header.size(), 3u);
        const int sender = header[0];
        ASSERT_LT(sender, kSenders);
        const int length = header[1] << 8 | header[2];
        const int expected = 1 + (seen[sender] * 977 + sender * 131) % 9000;
        ASSERT_EQ(length, expected) << "block " << block;
        const auto body = peer.Read(static_cast<size_t>(length));
        ASSERT_EQ(body,
                  std::vector<uint8_t>(static_cast<size_t>(length), static_cast<uint8_t>(sender)));
        ++seen[sender];
    }
    for (auto& sender : senders) {
        sender.join();
    }
}

// With an active connection, the others get what is sent to all through their queues, which
// the sending thread empties (a few connections) or the listener's thread (more): every
// connection still gets every block whole, and all of them in the same order.
class SentToAllTest : public ServerSocketThreadTest,
                      public ::testing::WithParamInterface<size_t> {};

INSTANTIATE_TEST_SUITE_P(FewAndMany, SentToAllTest,
                         ::testing::Values(size_t{4}, CServerSocket::kSenderSendsMax + 4));

TEST_P(SentToAllTest, EveryConnectionGetsTheSameBlocksInTheSameOrder) {
    CServerSocketThread thread(&recorder, 0);
    const unsigned port = ListeningPort(thread);
    std::vector<RawConnection> peers;
    for (size_t i = 0; i < GetParam(); ++i) {
        peers.push_back(RawConnection::Connect(port));
    }
    const auto clients = WaitForClients(thread, GetParam());
    ASSERT_EQ(clients.size(), GetParam());
    thread.Socket()->SetActiveConnection(clients[2]->Serial());

    // Each block: sender, length (two bytes), then `length` copies of the sender's byte; the
    // senders are serialised, as the writers of a stream listener are.
    constexpr int kSenders = 4;
    constexpr int kBlocks = 200;
    std::mutex writer;
    std::vector<std::thread> senders;
    size_t total = 0;
    for (int s = 0; s < kSenders; ++s) {
        for (int b = 0; b < kBlocks; ++b) {
            total += 3 + static_cast<size_t>(1 + (b * 977 + s * 131) % 2000);
        }
        senders.emplace_back([&thread, &writer, s] {
            for (int b = 0; b < kBlocks; ++b) {
                const int length = 1 + (b * 977 + s * 131) % 2000;
                std::vector<uint8_t> block(3 + static_cast<size_t>(length),
                                           static_cast<uint8_t>(s));
                block[1] = static_cast<uint8_t>(length >> 8);
                block[2] = static_cast<uint8_t>(length & 0xFF);
                std::lock_guard lock(writer);
                EXPECT_TRUE(thread.Send(block.data(), static_cast<int>(block.size())));
            }
        });
    }
    for (auto& sender : senders) {
        sender.join();
    }
    const std::vector<uint8_t> first = peers[0].Read(total);
    ASSERT_EQ(first.size(), total);
    for (size_t i = 1; i < peers.size(); ++i) {
        EXPECT_EQ(peers[i].Read(total), first) << "connection " << i;
    }
    std::vector<int> seen(kSenders, 0);
    for (size_t at = 0; at < first.size();) {
        const int sender = first[at];
        ASSERT_LT(sender, kSenders);
        const int length = first[at + 1] << 8 | first[at + 2];
        ASSERT_EQ(length, 1 + (seen[sender] * 977 + sender * 131) % 2000) << "at byte " << at;
        ++seen[sender];
        at += 3 + static_cast<size_t>(length);
    }
    EXPECT_EQ(seen, std::vector<int>(kSenders, kBlocks));
    EXPECT_TRUE(Eventually([&] {
        return std::all_of(clients.begin(), clients.end(),
                           [](const auto& client) { return client->QueuedBytes() == 0; });
    }));
}

TEST_F(ServerSocketThreadTest, SendingToAVanishedPeerRaisesNoSignal) {
    CServerSocketThread thread(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    ASSERT_EQ(WaitForClients(thread, 1).size(), 1u);
    peer.Reset();
    std::vector<uint8_t> block(4096, 0x55);
    for (int i = 0; i < 200; ++i) {
        thread.Send(block.data(), static_cast<int>(block.size()));
    }
    EXPECT_TRUE(recorder.WaitForCloses(1));
}

TEST_F(ServerSocketThreadTest, StoppingClosesConnectionsWithoutTellingTheReceiver) {
    auto thread = std::make_unique<CServerSocketThread>(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(*thread));
    ASSERT_EQ(WaitForClients(*thread, 1).size(), 1u);
    thread.reset();
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_TRUE(recorder.Closes().empty());
}

TEST_F(ServerSocketThreadTest, OnlyTheActiveConnectionsReceiveBufferGrows) {
    CServerSocketThread thread(&recorder, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    auto clients = WaitForClients(thread, 1);
    ASSERT_EQ(clients.size(), 1u);
    EXPECT_EQ(clients[0]->ReceiveCapacity(), 2048);

    // Another connection's reads stay small however much it sends.
    peer.SendAll(std::string(20000, 'a'));
    ASSERT_TRUE(recorder.WaitForTotal(20000));
    for (const auto& read : recorder.Reads()) {
        EXPECT_LE(read.count, CClientSocket::kSmallTurnBytes);
    }
    EXPECT_EQ(clients[0]->ReceiveCapacity(), 2048);

    // The active one's grows after a read that filled its 2047 usable bytes.
    thread.Socket()->SetActiveConnection(clients[0]->Serial());
    peer.SendAll(std::string(2047, 'b'));
    ASSERT_TRUE(recorder.WaitForTotal(22047));
    ASSERT_EQ(recorder.Reads().back().count, 2047);
    EXPECT_TRUE(Eventually([&] { return clients[0]->ReceiveCapacity() == 4096; }));
}

TEST_F(ServerSocketThreadTest, PlainFunctionsCanReceive) {
    std::mutex lock;
    std::string received;
    int closes = 0;
    CServerSocketThread thread(
        [&](int count, CClientSocket* socket) {
            std::lock_guard guard(lock);
            received.append(reinterpret_cast<const char*>(socket->ReceiveBuffer()),
                            static_cast<size_t>(count));
        },
        0,
        [&](int, CClientSocket*) {
            std::lock_guard guard(lock);
            ++closes;
        });
    RawConnection peer = RawConnection::Connect(ListeningPort(thread));
    peer.SendAll(std::string("by function"));
    peer.Close();
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard guard(lock);
        return closes == 1;
    }));
    std::lock_guard guard(lock);
    EXPECT_EQ(received, "by function");
}

TEST_F(ServerSocketThreadTest, ASendListensAgainOnceThePortIsFree) {
    auto blocker = std::make_unique<RawListener>();
    const unsigned port = blocker->port();
    CServerSocketThread thread(&recorder, static_cast<int>(port));
    auto server = thread.Socket();
    ASSERT_TRUE(server);
    EXPECT_TRUE(Eventually([&] { return server->LastError() == platform::kWsaEaddrinuse; }));
    EXPECT_FALSE(server->IsListening());

    blocker.reset();
    EXPECT_TRUE(thread.SendString("anyone?"));
    EXPECT_TRUE(Eventually([&] { return server->IsListening(); }));
    RawConnection peer = RawConnection::Connect(port);
    EXPECT_TRUE(peer.valid());
}

}  // namespace
}  // namespace ruzd::net
