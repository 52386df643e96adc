#include "net/server_stream_socket_thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include "net/tests/stream_owner.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"

namespace ruzd::net {
namespace {

using testing::Bytes;
using testing::Decoded;
using testing::Eventually;
using testing::FrameOf;
using testing::FrameReader;
using testing::Join;
using testing::Message;
using testing::RawConnection;
using testing::StreamOwner;

unsigned ListeningPort(CServerStreamSocketThread& listener) {
    std::string address;
    unsigned port = 0;
    Eventually([&] { return listener.GetSockName(address, port) && port != 0; });
    return port;
}

// The accepted end of the listener's only connection.
std::shared_ptr<CClientSocket> OnlyConnection(CServerStreamSocketThread& listener) {
    Eventually([&] { return listener.Server() && listener.Server()->Clients().size() == 1; });
    auto clients = listener.Server()->Clients();
    return clients.size() == 1 ? clients[0] : nullptr;
}

class ServerStreamSocketThreadTest : public ::testing::Test {
protected:
    // A burst of kBurst messages (code 100) of one peer and one message (code 2) of another,
    // both waiting in the listener's sockets before its thread reads either: the thread is held
    // meanwhile in the message of a third peer. The codes of the messages after that one, in the
    // order the owner was handed them. The burst's peer is the active connection, accepted after
    // the other, or (`burst_is_active` false) a connection like the other, accepted before it.
    static constexpr size_t kBurst = 200;
    std::vector<int32_t> BurstBesideOneMessage(bool burst_is_active);

    StreamOwner owner;
};

std::vector<int32_t> ServerStreamSocketThreadTest::BurstBesideOneMessage(bool burst_is_active) {
    std::promise<void> held;
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    owner.on_message = [&held, released](CClientStreamSocket&, const Decoded& decoded) {
        if (decoded.code == 1) {
            held.set_value();
            released.wait();
        }
    };
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    std::vector<RawConnection> peers;
    for (size_t i = 0; i < 3; ++i) {
        peers.push_back(RawConnection::Connect(port));
        EXPECT_TRUE(Eventually([&] { return listener.Server()->Clients().size() == i + 1; }));
    }
    // In the order of acceptance.
    const auto ends = listener.Server()->Clients();
    const size_t bursting = burst_is_active ? 2 : 1;
    const size_t other = 3 - bursting;
    if (burst_is_active) {
        listener.SetActiveConnection(ends[bursting]->Serial());
    }
    peers[0].SendAll(Message(1));
    held.get_future().wait();
    Bytes burst;
    for (size_t i = 0; i < kBurst; ++i) {
        const Bytes one = Message(100);
        burst.insert(burst.end(), one.begin(), one.end());
    }
    // Small enough for one read of the active connection's.
    EXPECT_LT(burst.size(), size_t{CClientSocket::kInitialReceiveCapacity});
    const Bytes single = Message(2);
    peers[bursting].SendAll(burst);
    peers[other].SendAll(single);
    EXPECT_TRUE(Eventually([&] {
        return testing::UnreadBytes(ends[bursting]->PollFd()) == burst.size() &&
               testing::UnreadBytes(ends[other]->PollFd()) == single.size();
    }));
    release.set_value();
    EXPECT_TRUE(owner.WaitForMessages(kBurst + 2));
    std::vector<int32_t> codes;
    for (const auto& received : owner.Messages()) {
        if (received.message.code != 1) {
            codes.push_back(received.message.code);
        }
    }
    return codes;
}

TEST_F(ServerStreamSocketThreadTest, TheSmallestMessageIsHandedOnce) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    peer.SendAll(Bytes{0x01, 0x01, 0x05, 0x00, 0x05, 0xFF});
    ASSERT_TRUE(owner.WaitForMessages(1));
    const auto messages = owner.Messages();
    EXPECT_EQ(messages[0].length, 1);
    EXPECT_EQ(messages[0].message.code, 5);
    EXPECT_TRUE(peer.StaysQuiet(std::chrono::milliseconds(20)));
    EXPECT_EQ(owner.Messages().size(), 1u);
}

TEST_F(ServerStreamSocketThreadTest, FramesSplitAnywhereAreHandedWhole) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    auto accepted = OnlyConnection(listener);
    ASSERT_TRUE(accepted);
    const Bytes frame = Message(4242, "Caf\xC3\xA9 au lait");

    size_t expected = 0;
    for (size_t split = 1; split < frame.size(); ++split) {
        peer.SendAll(frame.data(), split);
        // The first part is read on its own before the rest arrives.
        ASSERT_TRUE(testing::Drained(accepted->PollFd()));
        peer.SendAll(frame.data() + split, frame.size() - split);
        ASSERT_TRUE(owner.WaitForMessages(++expected)) << "split at " << split;
    }
    for (const auto& received : owner.Messages()) {
        EXPECT_EQ(received.message.code, 4242);
        EXPECT_EQ(received.message.text, "Caf\xC3\xA9 au lait");
        EXPECT_TRUE(received.message.ok);
    }
    EXPECT_EQ(owner.Messages().size(), frame.size() - 1);
}

TEST_F(ServerStreamSocketThreadTest, PipelinedFramesAreHandedInOrder) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    Bytes burst;
    for (int code = 0; code < 500; ++code) {
        const Bytes frame = Message(code, std::string(static_cast<size_t>(code % 300), 'x'));
        burst.insert(burst.end(), frame.begin(), frame.end());
    }
    peer.SendAll(burst);
    ASSERT_TRUE(owner.WaitForMessages(500));
    const auto messages = owner.Messages();
    for (int code = 0; code < 500; ++code) {
        EXPECT_EQ(messages[code].message.code, code);
        EXPECT_EQ(messages[code].message.text.size(), static_cast<size_t>(code % 300));
    }
}

TEST_F(ServerStreamSocketThreadTest, GarbageAndBrokenFramesAreSkipped) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    Bytes broken = Message(7);
    broken.back() = 0xFE;
    // Stray bytes, a frame whose end byte is wrong, then good frames.
    peer.SendAll(
        Join({Bytes{0x00, 0x55, 0xAA, 0x07, 0x80}, broken, Message(8), Bytes{0x00}, Message(9)}));
    ASSERT_TRUE(owner.WaitForMessages(2));
    const auto messages = owner.Messages();
    EXPECT_EQ(messages[0].message.code, 8);
    EXPECT_EQ(messages[1].message.code, 9);
}

TEST_F(ServerStreamSocketThreadTest, AZeroLengthIsAnEmptyMessageOnTheListener) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    peer.SendAll(Join({Bytes{0x01, 0x00, 0x00, 0x00, 0xFF}, Message(3)}));
    ASSERT_TRUE(owner.WaitForMessages(2));
    const auto messages = owner.Messages();
    EXPECT_EQ(messages[0].length, 0);
    EXPECT_EQ(messages[1].message.code, 3);
}

TEST_F(ServerStreamSocketThreadTest, ALongLengthFormFrameIsHandedWhole) {
    CServerStreamSocketThread listener(&owner, 0);
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    // 65536 payload bytes: a byte string of 65533 bytes behind its three-byte header.
    Bytes payload{0xFE, 0xFF, 0xFD};
    for (int i = 0; i < 65533; ++i) {
        payload.push_back(static_cast<uint8_t>(i * 7));
    }
    Bytes content(65533);
    bool read = false;
    owner.on_message = [&](CClientStreamSocket& message, const Decoded&) {
        // The recorder's number read stopped at the byte string's tag without taking it.
        read = message.ReadBytes(content.data(), static_cast<int>(content.size()));
    };
    const Bytes frame = FrameOf(payload);
    ASSERT_EQ(frame[0], 3);
    peer.SendAll(frame);
    ASSERT_TRUE(owner.WaitForMessages(1));
    EXPECT_EQ(owner.Messages()[0].length, 65536);
    EXPECT_TRUE(read);
    EXPECT_TRUE(std::equal(content.begin(), content.end(), payload.begin() + 3));
}

TEST_F(ServerStreamSocketThreadTest, APeerThatVanishesMidFrameLosesItAndIsReported) {
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    RawConnection steady = RawConnection::Connect(port);
    RawConnection vanishing = RawConnection::Connect(port);
    Eventually([&] { return listener.Server()->Clients().size() == 2; });
    std::string local;
    const unsigned vanishing_port = vanishing.LocalPort();
    const Bytes frame = Message(11, "half of this is lost");
    // Both send half a frame; one goes away, the other completes its frame.
    steady.SendAll(frame.data(), frame.size() / 2);
    vanishing.SendAll(frame.data(), frame.size() / 2);
    vanishing.Close();
    ASSERT_TRUE(owner.WaitForCloses(1));
    steady.SendAll(frame.data() + frame.size() / 2, frame.size() - frame.size() / 2);
    ASSERT_TRUE(owner.WaitForMessages(1));

    const auto closes = owner.Closes();
    EXPECT_EQ(closes[0].address, "127.0.0.1");
    EXPECT_EQ(closes[0].port, vanishing_port);
    EXPECT_EQ(closes[0].error, 0);
    const auto messages = owner.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].connection, closes[0].connection);
    EXPECT_EQ(messages[0].message.text, "half of this is lost");
}

TEST_F(ServerStreamSocketThreadTest, RepliesReachTheirPeerAndEventsReachAll) {
    CServerStreamSocketThread listener(&owner, 0);
    owner.on_message = [](CClientStreamSocket& message, const Decoded& decoded) {
        message.BeginMessage(decoded.code + 1000).WriteString(decoded.text);
        message.Flush();
    };
    const unsigned port = ListeningPort(listener);
    RawConnection alpha = RawConnection::Connect(port);
    RawConnection beta = RawConnection::Connect(port);
    FrameReader alpha_frames(alpha);
    FrameReader beta_frames(beta);

    alpha.SendAll(Message(1, "from alpha"));
    beta.SendAll(Message(2, "from beta"));
    auto alpha_reply = alpha_frames.Next(1);
    auto beta_reply = beta_frames.Next(1);
    ASSERT_EQ(alpha_reply.size(), 1u);
    ASSERT_EQ(beta_reply.size(), 1u);
    EXPECT_EQ(alpha_reply[0].code, 1001);
    EXPECT_EQ(alpha_reply[0].text, "from alpha");
    EXPECT_EQ(beta_reply[0].code, 1002);
    EXPECT_EQ(beta_reply[0].text, "from beta");

    listener.BeginMessage(38).WriteString("to everyone");
    EXPECT_TRUE(listener.Flush());
    for (FrameReader* frames : {&alpha_frames, &beta_frames}) {
        auto event = frames->Next(1);
        ASSERT_EQ(event.size(), 1u);
        EXPECT_EQ(event[0].code, 38);
        EXPECT_EQ(event[0].text, "to everyone");
    }
    EXPECT_TRUE(alpha.StaysQuiet(std::chrono::milliseconds(20)));
    EXPECT_TRUE(beta.StaysQuiet(std::chrono::milliseconds(20)));
}

// Events flushed on several threads while one connection is the active one: the few others
// are sent to by each flushing thread once it has let go of the writer's lock; every connection
// gets every event, in one order for all.
TEST_F(ServerStreamSocketThreadTest, EventsFlushedOnManyThreadsReachEveryConnectionInOneOrder) {
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    std::vector<RawConnection> peers;
    for (int i = 0; i < 4; ++i) {
        peers.push_back(RawConnection::Connect(port));
    }
    ASSERT_TRUE(Eventually([&] { return listener.Server()->Clients().size() == 4; }));
    listener.SetActiveConnection(listener.Server()->Clients()[1]->Serial());

    constexpr int kThreads = 4;
    constexpr int kEvents = 150;
    std::vector<std::thread> flushers;
    for (int t = 0; t < kThreads; ++t) {
        flushers.emplace_back([&listener, t] {
            for (int e = 0; e < kEvents; ++e) {
                listener.BeginMessage(40 + t).WriteString(std::to_string(e));
                EXPECT_TRUE(listener.Flush());
            }
        });
    }
    for (auto& flusher : flushers) {
        flusher.join();
    }
    std::vector<std::pair<int32_t, std::string>> first;
    for (size_t i = 0; i < peers.size(); ++i) {
        FrameReader frames(peers[i]);
        const auto events = frames.Next(kThreads * kEvents);
        ASSERT_EQ(events.size(), size_t{kThreads * kEvents}) << "connection " << i;
        std::vector<std::pair<int32_t, std::string>> order;
        std::vector<int> next(kThreads, 0);
        for (const auto& event : events) {
            const int t = event.code - 40;
            ASSERT_TRUE(t >= 0 && t < kThreads) << event.code;
            EXPECT_EQ(event.text, std::to_string(next[t]++));
            order.emplace_back(event.code, event.text);
        }
        if (i == 0) {
            first = std::move(order);
        } else {
            EXPECT_EQ(order, first) << "connection " << i;
        }
    }
}

TEST_F(ServerStreamSocketThreadTest,
       APeerThatNeverReadsIsClosedPastTheBudgetAndTheActiveOneOnlyPastItsOwnBound) {
    const auto budget = BufferBudget::Create(256 * 1024, 1024 * 1024);
    CServerStreamSocketThread listener(&owner, 0, budget);
    const unsigned port = ListeningPort(listener);
    RawConnection active = RawConnection::Connect(port);
    const unsigned active_port = active.LocalPort();
    const auto active_end = OnlyConnection(listener);
    ASSERT_TRUE(active_end);
    RawConnection silent = RawConnection::Connect(port);
    const unsigned silent_port = silent.LocalPort();
    ASSERT_TRUE(Eventually([&] { return listener.Server()->Clients().size() == 2; }));
    listener.SetActiveConnection(active_end->Serial());

    // Events for everyone: the active peer reads each, the other none, so that once the
    // system's buffers are full its copies wait in the node until they are too many.
    const Bytes event = Message(77, std::string(60000, 'e'));
    int sent = 0;
    while (listener.Server()->Clients().size() == 2 && sent < 2000) {
        listener.Send(event.data(), static_cast<int>(event.size()));
        ++sent;
        ASSERT_EQ(active.Read(event.size()), event) << "event " << sent;
    }
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_LE(budget->Total(), budget->Limit());
    ASSERT_TRUE(owner.WaitForCloses(1));
    EXPECT_EQ(owner.Closes()[0].port, silent_port);

    const Bytes last = Message(78, "still connected");
    listener.Send(last.data(), static_cast<int>(last.size()));
    EXPECT_EQ(active.Read(last.size()), last);

    // The active peer stops reading too: its queue grows to its own bound, not further.
    for (sent = 0; listener.Server()->Clients().size() == 1 && sent < 2000; ++sent) {
        listener.Send(event.data(), static_cast<int>(event.size()));
    }
    EXPECT_TRUE(active.WaitClosed());
    ASSERT_TRUE(owner.WaitForCloses(2));
    EXPECT_EQ(owner.Closes()[1].port, active_port);
}

// A connection other than the active one gets a few of its messages handled a turn, one turn
// a round: another peer's message waits for no more than one turn of the burst's, and the rest of
// the burst follows without another byte from its peer.
TEST_F(ServerStreamSocketThreadTest, AConnectionOtherThanTheActiveOneIsServedInSmallTurns) {
    const std::vector<int32_t> codes = BurstBesideOneMessage(false);
    ASSERT_EQ(codes.size(), kBurst + 1);
    const auto single = std::find(codes.begin(), codes.end(), 2);
    EXPECT_LE(single - codes.begin(), CServerStreamSocketThread::kSmallTurnMessages);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), 100), kBurst);
}

// The active connection goes first in a round, and all it sent is handled in its turn.
TEST_F(ServerStreamSocketThreadTest, TheActiveConnectionIsServedFirstAndWhole) {
    const std::vector<int32_t> codes = BurstBesideOneMessage(true);
    ASSERT_EQ(codes.size(), kBurst + 1);
    EXPECT_EQ(codes.back(), 2);
}

TEST_F(ServerStreamSocketThreadTest, SendToPicksOnePeer) {
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    RawConnection alpha = RawConnection::Connect(port);
    Eventually([&] { return listener.Server()->Clients().size() == 1; });
    RawConnection beta = RawConnection::Connect(port);
    Eventually([&] { return listener.Server()->Clients().size() == 2; });

    listener.BeginMessage(5);
    listener.FlushTo("127.0.0.1", beta.LocalPort());
    FrameReader beta_frames(beta);
    auto got = beta_frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, 5);
    EXPECT_TRUE(alpha.StaysQuiet(std::chrono::milliseconds(20)));
}

TEST_F(ServerStreamSocketThreadTest, AMessageIsRecognisedByItsConnectionNotItsAddress) {
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    // Two connections one after the other from the same local port: same address and port,
    // different connections.
    const unsigned local_port = testing::FreePort();
    RawConnection first = RawConnection::ConnectFrom(local_port, port);
    ASSERT_TRUE(first.valid());
    first.SendAll(Message(1));
    ASSERT_TRUE(owner.WaitForMessages(1));
    first.Reset();
    ASSERT_TRUE(owner.WaitForCloses(1));
    RawConnection second = RawConnection::ConnectFrom(local_port, port);
    ASSERT_TRUE(second.valid());
    second.SendAll(Message(2));
    ASSERT_TRUE(owner.WaitForMessages(2));

    const auto messages = owner.Messages();
    const auto closes = owner.Closes();
    EXPECT_EQ(closes[0].port, local_port);
    EXPECT_EQ(closes[0].connection, messages[0].connection);
    EXPECT_NE(messages[1].connection, messages[0].connection);
}

TEST_F(ServerStreamSocketThreadTest, ThreadsWritingWhileCommandsAreHandledNeverInterleave) {
    CServerStreamSocketThread listener(&owner, 0);
    owner.on_message = [&](CClientStreamSocket& message, const Decoded& decoded) {
        // Handlers write events on the listener too, as the node's do.
        listener.BeginMessage(500).WriteString(std::string(300, 'e'));
        listener.Flush();
        message.BeginMessage(decoded.code).WriteString(decoded.text);
        message.Flush();
    };
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    ASSERT_TRUE(OnlyConnection(listener));

    constexpr int kWriters = 4;
    constexpr int kEventsEach = 300;
    constexpr int kCommands = 300;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&listener, w] {
            for (int i = 0; i < kEventsEach; ++i) {
                listener.BeginMessage(600 + w).WriteString(std::string(
                    static_cast<size_t>(1 + (i * 37) % 700), static_cast<char>('a' + w)));
                listener.Flush();
            }
        });
    }
    std::thread commands([&peer] {
        for (int i = 0; i < kCommands; ++i) {
            peer.SendAll(Message(i, std::string(static_cast<size_t>(i % 50), 'c')));
        }
    });

    FrameReader frames(peer);
    std::vector<int> per_writer(kWriters, 0);
    int replies = 0;
    int handler_events = 0;
    for (int i = 0; i < kWriters * kEventsEach + 2 * kCommands; ++i) {
        auto frame = frames.Next(1);
        ASSERT_EQ(frame.size(), 1u) << "after " << i << " frames";
        const Decoded& decoded = frame[0];
        ASSERT_TRUE(decoded.ok);
        if (decoded.code >= 600) {
            const int w = decoded.code - 600;
            const int n = per_writer[w]++;
            EXPECT_EQ(decoded.text, std::string(static_cast<size_t>(1 + (n * 37) % 700),
                                                static_cast<char>('a' + w)));
        } else if (decoded.code == 500) {
            ++handler_events;
        } else {
            EXPECT_EQ(decoded.code, replies);
            EXPECT_EQ(decoded.text.size(), static_cast<size_t>(replies % 50));
            ++replies;
        }
    }
    for (auto& writer : writers) {
        writer.join();
    }
    commands.join();
    EXPECT_EQ(replies, kCommands);
    EXPECT_EQ(handler_events, kCommands);
}

TEST_F(ServerStreamSocketThreadTest, AnEventWaitsForTheCommandInProgress) {
    CServerStreamSocketThread listener(&owner, 0);
    std::atomic<bool> writer_started{false};
    std::thread writer;
    owner.on_message = [&](CClientStreamSocket& message, const Decoded&) {
        writer = std::thread([&] {
            writer_started.store(true);
            listener.BeginMessage(77);
            listener.Flush();
        });
        while (!writer_started.load()) {
            std::this_thread::yield();
        }
        // Whatever the event's thread does now, its frame cannot leave before this reply.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        message.BeginMessage(1);
        message.Flush();
    };
    RawConnection peer = RawConnection::Connect(ListeningPort(listener));
    peer.SendAll(Message(0));
    FrameReader frames(peer);
    auto got = frames.Next(2);
    ASSERT_TRUE(owner.WaitForMessages(1));
    writer.join();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].code, 1);
    EXPECT_EQ(got[1].code, 77);
}

TEST_F(ServerStreamSocketThreadTest, StateQueries) {
    CServerStreamSocketThread listener(&owner, 0);
    const unsigned port = ListeningPort(listener);
    EXPECT_EQ(listener.Port(), 0);
    EXPECT_TRUE(listener.IsConnected());
    EXPECT_FALSE(listener.HasClients());
    std::string address;
    unsigned peer_port = 0;
    EXPECT_FALSE(listener.GetPeerName(address, peer_port));

    std::string local_address, peer_address;
    unsigned local_port = 0, seen_port = 0;
    owner.on_message = [&](CClientStreamSocket& message, const Decoded&) {
        message.GetSockName(local_address, local_port);
        message.GetPeerName(peer_address, seen_port);
    };
    RawConnection peer = RawConnection::Connect(port);
    peer.SendAll(Message(1));
    ASSERT_TRUE(owner.WaitForMessages(1));
    EXPECT_TRUE(listener.HasClients());
    EXPECT_EQ(local_port, port);
    EXPECT_EQ(peer_address, "127.0.0.1");
    EXPECT_NE(seen_port, 0u);
}

}  // namespace
}  // namespace ruzd::net
