#include "net/client_stream_socket_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

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
using testing::RawListener;
using testing::StreamOwner;

class ClientStreamSocketThreadTest : public ::testing::Test {
protected:
    // The far end of the connection, and the connection's socket once it is up.
    RawConnection AcceptedPeer(CClientStreamSocketThread& client) {
        RawConnection peer = listener.Accept();
        Eventually([&] { return client.Connection() && client.Connection()->IsConnected(); });
        return peer;
    }

    RawListener listener;
    StreamOwner owner;
};

TEST_F(ClientStreamSocketThreadTest, FramesSplitAnywhereAreHandedWhole) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = AcceptedPeer(client);
    const Bytes frame = Message(-77, "split me");
    size_t expected = 0;
    for (size_t split = 1; split < frame.size(); ++split) {
        peer.SendAll(frame.data(), split);
        ASSERT_TRUE(testing::Drained(client.Connection()->PollFd()));
        peer.SendAll(frame.data() + split, frame.size() - split);
        ASSERT_TRUE(owner.WaitForMessages(++expected)) << "split at " << split;
    }
    for (const auto& received : owner.Messages()) {
        EXPECT_EQ(received.message.code, -77);
        EXPECT_EQ(received.message.text, "split me");
    }
}

TEST_F(ClientStreamSocketThreadTest, AZeroLengthIsNoFrameOnTheConnectingSide) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = AcceptedPeer(client);
    peer.SendAll(Join({Bytes{0x01, 0x00, 0x00, 0x00, 0xFF}, Message(3)}));
    ASSERT_TRUE(owner.WaitForMessages(1));
    EXPECT_TRUE(peer.StaysQuiet(std::chrono::milliseconds(20)));
    const auto messages = owner.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message.code, 3);
}

TEST_F(ClientStreamSocketThreadTest, ALongLengthFormFrameIsHandedWhole) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = AcceptedPeer(client);
    // The number 65536, then a byte string of 65528 bytes: 65536 payload bytes in all.
    Bytes payload(65536, 0x42);
    const uint8_t head[] = {0x7A, 0x00, 0x01, 0x00, 0x00, 0xFE, 0xFF, 0xF8};
    std::copy(std::begin(head), std::end(head), payload.begin());
    peer.SendAll(Join({Bytes{0x17, 0x55}, FrameOf(payload)}));
    ASSERT_TRUE(owner.WaitForMessages(1));
    EXPECT_EQ(owner.Messages()[0].length, 65536);
    EXPECT_EQ(owner.Messages()[0].message.code, 65536);
}

TEST_F(ClientStreamSocketThreadTest, MessagesGoToTheServerAndRepliesComeBack) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    owner.on_message = [](CClientStreamSocket& message, const Decoded& decoded) {
        message.BeginMessage(decoded.code * 2);
        message.Flush();
    };
    RawConnection peer = AcceptedPeer(client);
    EXPECT_TRUE(client.IsConnected());

    client.BeginMessage(0).WriteString("requested");
    EXPECT_TRUE(client.Flush());
    FrameReader frames(peer, CFrameCutter::Side::kListener);
    auto got = frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, 0);
    EXPECT_EQ(got[0].text, "requested");

    peer.SendAll(Message(21));
    got = frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, 42);

    std::string address;
    unsigned port = 0;
    ASSERT_TRUE(client.GetPeerName(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, listener.port());
    ASSERT_TRUE(client.GetSockName(address, port));
    EXPECT_NE(port, 0u);
}

TEST_F(ClientStreamSocketThreadTest, AMessageWrittenWhileDisconnectedLeavesOnceConnected) {
    const unsigned port = testing::FreePort();
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(port));
    ASSERT_TRUE(Eventually([&] { return client.Connection()->LastError() != 0; }));
    EXPECT_FALSE(client.IsConnected());

    RawListener late(port);
    ASSERT_TRUE(late.valid());
    client.BeginMessage(9).WriteString("better late");
    client.Flush();
    RawConnection peer = late.Accept();
    ASSERT_TRUE(peer.valid());
    FrameReader frames(peer, CFrameCutter::Side::kListener);
    auto got = frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, "better late");
}

TEST_F(ClientStreamSocketThreadTest, TheServerClosingIsReported) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = AcceptedPeer(client);
    peer.SendAll(Message(1));
    ASSERT_TRUE(owner.WaitForMessages(1));
    peer.Close();
    ASSERT_TRUE(owner.WaitForCloses(1));
    const auto closed = owner.Closes()[0];
    EXPECT_EQ(closed.address, "127.0.0.1");
    EXPECT_EQ(closed.port, listener.port());
    EXPECT_EQ(closed.error, 0);
    EXPECT_EQ(closed.connection, owner.Messages()[0].connection);
    EXPECT_TRUE(Eventually([&] { return !client.IsConnected(); }));
}

TEST_F(ClientStreamSocketThreadTest, ReconnectReportsTheOldConnectionBeforeTheNewOneIsMade) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection first = AcceptedPeer(client);
    const Bytes frame = Message(5, "first connection");
    first.SendAll(frame);
    // Half a frame is left behind on the old connection.
    first.SendAll(frame.data(), frame.size() / 2);
    ASSERT_TRUE(owner.WaitForMessages(1));
    ASSERT_TRUE(testing::Drained(client.Connection()->PollFd()));

    client.Reconnect();
    ASSERT_TRUE(owner.WaitForCloses(1));
    EXPECT_EQ(owner.Closes()[0].error, 0);
    EXPECT_EQ(owner.Closes()[0].connection, owner.Messages()[0].connection);
    EXPECT_TRUE(first.WaitClosed());

    RawConnection second = listener.Accept();
    ASSERT_TRUE(second.valid());
    // The rest of the old half frame means nothing on the new connection.
    second.SendAll(frame.data() + frame.size() / 2, frame.size() - frame.size() / 2);
    second.SendAll(Message(6, "second connection"));
    ASSERT_TRUE(owner.WaitForMessages(2));
    const auto messages = owner.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].message.text, "second connection");
    EXPECT_NE(messages[1].connection, messages[0].connection);
}

TEST_F(ClientStreamSocketThreadTest, ReconnectFromTheHandlerDropsTheRestOfTheChunk) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    owner.on_message = [&client](CClientStreamSocket&, const Decoded& decoded) {
        if (decoded.code == 1) {
            client.Reconnect();
        }
    };
    RawConnection first = AcceptedPeer(client);
    first.SendAll(Join({Message(1), Message(2), Message(3)}));
    ASSERT_TRUE(owner.WaitForCloses(1));
    RawConnection second = listener.Accept();
    ASSERT_TRUE(second.valid());
    second.SendAll(Message(4));
    ASSERT_TRUE(owner.WaitForMessages(2));
    const auto messages = owner.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message.code, 1);
    EXPECT_EQ(messages[1].message.code, 4);
}

TEST_F(ClientStreamSocketThreadTest, ReconnectDoesNotHangOnAHandlerThatWrites) {
    CClientStreamSocketThread client(&owner, "127.0.0.1", static_cast<int>(listener.port()));
    std::atomic<bool> inside{false};
    std::atomic<bool> reconnecting{false};
    owner.on_message = [&](CClientStreamSocket&, const Decoded& decoded) {
        if (decoded.code != 1) {
            return;
        }
        inside.store(true);
        while (!reconnecting.load()) {
            std::this_thread::yield();
        }
        // Reconnect holds the writer's lock now, or soon: this write waits for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        client.BeginMessage(100);
        client.Flush();
    };
    RawConnection first = AcceptedPeer(client);
    first.SendAll(Message(1));
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));

    auto reconnect = std::async(std::launch::async, [&] {
        reconnecting.store(true);
        client.Reconnect();
    });
    ASSERT_EQ(reconnect.wait_for(testing::kPatience), std::future_status::ready);
    ASSERT_TRUE(owner.WaitForCloses(1));
    RawConnection second = listener.Accept();
    EXPECT_TRUE(second.valid());
}

}  // namespace
}  // namespace ruzd::net
