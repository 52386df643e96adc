// Listeners restarted and connections coming and going while other threads write: nothing
// hangs, nothing is touched after it is gone, and nothing is left behind.

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "net/client_stream_socket_thread.h"
#include "net/server_stream_socket_thread.h"
#include "net/tests/stream_owner.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/process_counters.h"

namespace ruzd::net {
namespace {

using testing::Decoded;
using testing::Eventually;
using testing::FrameReader;
using testing::Message;
using testing::RawConnection;
using testing::StreamOwner;

constexpr const char* kLoopback = "127.0.0.1";

// Replies to every message with its code plus one.
void Answer(CClientStreamSocket& message, const Decoded& decoded) {
    message.BeginMessage(decoded.code + 1);
    message.Flush();
}

class StreamLifecycleTest : public ::testing::Test {
protected:
    StreamOwner owner;
};

TEST_F(StreamLifecycleTest, RestartWhileACommandIsHandledDoesNotHang) {
    const unsigned port = testing::FreePort();
    CServerStreamSocketThread listener(&owner, static_cast<int>(port));
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    owner.on_message = [&](CClientStreamSocket&, const Decoded& decoded) {
        if (decoded.code == 1) {
            inside.store(true);
            while (!release.load()) {
                std::this_thread::yield();
            }
        }
    };
    ASSERT_TRUE(Eventually([&] { return listener.IsConnected(); }));
    RawConnection peer = RawConnection::Connect(port);
    peer.SendAll(Message(1));
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));

    // The restart waits for the writer's lock, which the handler holds; meanwhile more bytes
    // arrive, for which the old thread will want that lock again.
    auto restart = std::async(std::launch::async, [&] { listener.Restart(); });
    peer.SendAll(Message(2));
    release.store(true);
    ASSERT_EQ(restart.wait_for(testing::kPatience), std::future_status::ready);

    // The old connection went with the old listener, untold; the new one serves.
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_TRUE(owner.Closes().empty());
    RawConnection fresh;
    ASSERT_TRUE(Eventually([&] {
        fresh = RawConnection::Connect(port);
        return fresh.valid();
    }));
    owner.on_message = Answer;
    fresh.SendAll(Message(10));
    FrameReader frames(fresh);
    auto got = frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, 11);
}

TEST_F(StreamLifecycleTest, RestartFromTheListenersOwnHandler) {
    const unsigned port = testing::FreePort();
    CServerStreamSocketThread listener(&owner, static_cast<int>(port));
    owner.on_message = [&](CClientStreamSocket& message, const Decoded& decoded) {
        if (decoded.code == 1) {
            listener.Restart();
        }
        Answer(message, decoded);
    };
    ASSERT_TRUE(Eventually([&] { return listener.IsConnected(); }));
    RawConnection peer = RawConnection::Connect(port);
    peer.SendAll(Message(1));
    EXPECT_TRUE(peer.WaitClosed());

    RawConnection fresh;
    ASSERT_TRUE(Eventually([&] {
        fresh = RawConnection::Connect(port);
        return fresh.valid();
    }));
    fresh.SendAll(Message(20));
    FrameReader frames(fresh);
    auto got = frames.Next(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].code, 21);
}

TEST_F(StreamLifecycleTest, EventsDuringARestartNeitherHangNorCrash) {
    const unsigned port = testing::FreePort();
    CServerStreamSocketThread listener(&owner, static_cast<int>(port));
    std::atomic<bool> stop{false};
    std::thread events([&] {
        while (!stop.load()) {
            listener.BeginMessage(38).WriteString("status");
            listener.Flush();
        }
    });
    for (int i = 0; i < 20; ++i) {
        RawConnection peer = RawConnection::Connect(port);
        listener.Restart();
        ASSERT_TRUE(Eventually([&] { return listener.Server()->IsListening(); }));
    }
    stop.store(true);
    events.join();
}

TEST_F(StreamLifecycleTest, AThousandConnectionsLeaveNoDescriptorOrThreadBehind) {
    CServerStreamSocketThread listener(&owner, 0);
    owner.on_message = Answer;
    std::string address;
    unsigned port = 0;
    ASSERT_TRUE(Eventually([&] { return listener.GetSockName(address, port) && port != 0; }));
    const size_t descriptors = testing::OpenDescriptors();
    const size_t threads = testing::ProcessThreads();

    struct Client : CStreamSocketCallback {
        std::promise<int32_t> answer;
        void OnSocketReceiveInfo(CClientStreamSocket* message) override {
            int32_t code = 0;
            message->ReadInt(code);
            answer.set_value(code);
        }
    };
    for (int i = 0; i < 1000; ++i) {
        Client client;
        auto answer = client.answer.get_future();
        {
            CClientStreamSocketThread connection(&client, kLoopback, static_cast<int>(port));
            connection.BeginMessage(i);
            connection.Flush();
            ASSERT_EQ(answer.wait_for(testing::kPatience), std::future_status::ready);
            ASSERT_EQ(answer.get(), i + 1);
        }
    }
    EXPECT_TRUE(Eventually([&] { return !listener.HasClients(); }));
    EXPECT_TRUE(owner.WaitForCloses(1000));
    EXPECT_TRUE(testing::DescriptorsComeBackTo(descriptors));
    EXPECT_EQ(testing::ThreadsBeyond(threads), "");
}

TEST_F(StreamLifecycleTest, SendsNeverTouchAConnectionThatIsGoing) {
    CServerStreamSocketThread listener(&owner, 0);
    std::string address;
    unsigned port = 0;
    ASSERT_TRUE(Eventually([&] { return listener.GetSockName(address, port) && port != 0; }));
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&] {
            while (!stop.load()) {
                listener.BeginMessage(38).WriteString(std::string(200, 'z'));
                listener.Flush();
            }
        });
    }
    for (int i = 0; i < 300; ++i) {
        RawConnection peer = RawConnection::Connect(port);
        ASSERT_TRUE(peer.valid());
        if (i % 3 == 0) {
            peer.ReadSome();
        }
        if (i % 2 == 0) {
            peer.Reset();
        }
    }
    stop.store(true);
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_TRUE(Eventually([&] { return !listener.HasClients(); }));
}

TEST_F(StreamLifecycleTest, DestroyingAListenerThatIsBusyEndsCleanly) {
    const size_t threads = testing::ProcessThreads();
    auto listener = std::make_unique<CServerStreamSocketThread>(&owner, 0);
    owner.on_message = Answer;
    std::string address;
    unsigned port = 0;
    ASSERT_TRUE(Eventually([&] { return listener->GetSockName(address, port) && port != 0; }));
    RawConnection peer = RawConnection::Connect(port);
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        const auto frame = Message(1, std::string(100, 'q'));
        while (!stop.load() && peer.SendAll(frame)) {
        }
    });
    ASSERT_TRUE(owner.WaitForMessages(100));
    listener.reset();
    stop.store(true);
    sender.join();
    EXPECT_EQ(testing::ThreadsBeyond(threads), "");
}

}  // namespace
}  // namespace ruzd::net
