#include "net/client_socket_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "net/socket_core/send_once.h"
#include "net/socket_core/send_queue.h"
#include "net/tests/socket_recorder.h"
#include "platform/wsa_error.h"
#include "testing/eventually.h"
#include "testing/loopback_socket.h"
#include "testing/process_counters.h"

namespace ruzd::net {
namespace {

using testing::Eventually;
using testing::RawConnection;
using testing::RawListener;
using testing::SocketRecorder;

TEST(SendQueueTest, ABlockSentInPartLeavesItsRestAtTheHead) {
    SendQueue queue;
    std::vector<uint8_t> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i);
    }
    queue.PushBack(bytes.data(), bytes.size());
    // A frame shared with other queues goes as it is, from where its sender left it.
    const SharedBytes shared =
        std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.begin() + 12);
    queue.PushBack(shared, 2);

    std::vector<uint8_t> wire;
    int writes = 0;
    auto take = [&wire, &writes](size_t limit) {
        return [&wire, &writes, limit](const iovec* blocks, int count, int&) -> ssize_t {
            ++writes;
            size_t taken = 0;
            for (int i = 0; i < count && taken < limit; ++i) {
                const auto* data = static_cast<const uint8_t*>(blocks[i].iov_base);
                const size_t part = std::min(blocks[i].iov_len, limit - taken);
                wire.insert(wire.end(), data, data + part);
                taken += part;
            }
            return static_cast<ssize_t>(taken);
        };
    };
    EXPECT_EQ(queue.Drain(take(4000)), 0);
    EXPECT_EQ(queue.blocks(), 2u);
    EXPECT_EQ(queue.front_size(), 6000u);
    EXPECT_EQ(queue.bytes(), 6010u);

    // Nothing taken: the block stays at the head and the error comes back.
    EXPECT_EQ(queue.Drain([](const iovec*, int, int& error) -> ssize_t {
        error = EAGAIN;
        return -1;
    }),
              EAGAIN);
    EXPECT_EQ(queue.front_size(), 6000u);

    // Both blocks in one write.
    writes = 0;
    EXPECT_EQ(queue.Drain(take(100000)), 0);
    EXPECT_EQ(writes, 1);
    EXPECT_TRUE(queue.empty());
    ASSERT_EQ(wire.size(), 10010u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), wire.begin()));
    EXPECT_TRUE(std::equal(bytes.begin() + 2, bytes.begin() + 12, wire.begin() + 10000));
}

class ClientSocketThreadTest : public ::testing::Test {
protected:
    SocketRecorder recorder;
};

TEST_F(ClientSocketThreadTest, ConnectsAndCarriesBytesBothWays) {
    RawListener listener;
    CClientSocketThread thread(&recorder, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = listener.Accept();
    ASSERT_TRUE(peer.valid());
    auto socket = thread.Socket();
    ASSERT_TRUE(Eventually([&] { return socket->IsConnected(); }));

    EXPECT_TRUE(thread.SendString("hello"));
    EXPECT_EQ(peer.ReadText(5), "hello");
    peer.SendAll(std::string("world"));
    ASSERT_TRUE(recorder.WaitForBytes(socket->Serial(), 5));
    EXPECT_EQ(recorder.Received(socket->Serial()), "world");

    std::string address;
    unsigned port = 0;
    ASSERT_TRUE(socket->GetPeerName(address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, listener.port());

    const ruzd::testing::KeepAlive keep_alive = ruzd::testing::KeepAliveOf(socket->PollFd());
    EXPECT_EQ(keep_alive.on, 1);
    EXPECT_EQ(keep_alive.idle, 60);
    EXPECT_EQ(keep_alive.interval, 1);
    EXPECT_TRUE(ruzd::testing::NoDelayOf(socket->PollFd()));
}

TEST_F(ClientSocketThreadTest, ASendWhileDisconnectedGoesOutOnceTheConnectionIsMade) {
    const unsigned port = testing::FreePort();
    CClientSocketThread thread(&recorder, "127.0.0.1", static_cast<int>(port));
    auto socket = thread.Socket();
    ASSERT_TRUE(Eventually([&] { return socket->LastError() == platform::kWsaEconnrefused; }));
    EXPECT_FALSE(socket->IsConnected());

    RawListener listener(port);
    ASSERT_TRUE(listener.valid());
    EXPECT_TRUE(thread.SendString("queued"));
    RawConnection peer = listener.Accept();
    ASSERT_TRUE(peer.valid());
    EXPECT_EQ(peer.ReadText(6), "queued");
    EXPECT_TRUE(socket->IsConnected());
}

TEST_F(ClientSocketThreadTest, AClosedConnectionIsReportedAndMadeAgainBySend) {
    RawListener listener;
    CClientSocketThread thread(&recorder, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection first = listener.Accept();
    auto socket = thread.Socket();
    ASSERT_TRUE(Eventually([&] { return socket->IsConnected(); }));
    first.Close();
    ASSERT_TRUE(recorder.WaitForCloses(1));
    EXPECT_EQ(recorder.Closes()[0].error, 0);
    // The receiver hears of the close first; then the socket is shut and may connect again.
    EXPECT_TRUE(Eventually([&] { return !socket->IsClosing(); }));
    EXPECT_FALSE(socket->IsConnected());

    EXPECT_TRUE(thread.SendString("again"));
    RawConnection second = listener.Accept();
    ASSERT_TRUE(second.valid());
    EXPECT_EQ(second.ReadText(5), "again");
}

TEST_F(ClientSocketThreadTest, AnExplicitShutdownRefusesLaterSends) {
    RawListener listener;
    CClientSocketThread thread(&recorder, "127.0.0.1", static_cast<int>(listener.port()));
    RawConnection peer = listener.Accept();
    auto socket = thread.Socket();
    ASSERT_TRUE(Eventually([&] { return socket->IsConnected(); }));
    socket->Shutdown();
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_FALSE(thread.SendString("late"));
    EXPECT_FALSE(socket->Connect("127.0.0.1", static_cast<int>(listener.port())));
}

TEST_F(ClientSocketThreadTest, StoppingWaitsForAReceiverThatIsBusy) {
    RawListener listener;
    std::atomic<bool> release{false};
    std::atomic<bool> inside{false};
    std::atomic<bool> finished{false};
    auto thread = std::make_unique<CClientSocketThread>(
        [&](int, CClientSocket*) {
            inside.store(true);
            while (!release.load()) {
                std::this_thread::yield();
            }
            finished.store(true);
        },
        "127.0.0.1", static_cast<int>(listener.port()), nullptr);
    RawConnection peer = listener.Accept();
    peer.SendAll(std::string("x"));
    ASSERT_TRUE(Eventually([&] { return inside.load(); }));

    std::thread stopper([&] { thread.reset(); });
    release.store(true);
    stopper.join();
    EXPECT_TRUE(finished.load());
    EXPECT_TRUE(peer.WaitClosed());
}

TEST_F(ClientSocketThreadTest, MayBeDestroyedFromItsOwnReceiver) {
    RawListener listener;
    const size_t threads_before = testing::ProcessThreads();
    std::unique_ptr<CClientSocketThread> thread;
    std::atomic<bool> destroyed{false};
    thread = std::make_unique<CClientSocketThread>(
        [&](int, CClientSocket*) {
            thread.reset();
            destroyed.store(true);
        },
        "127.0.0.1", static_cast<int>(listener.port()), nullptr);
    RawConnection peer = listener.Accept();
    peer.SendAll(std::string("bye"));
    ASSERT_TRUE(Eventually([&] { return destroyed.load(); }));
    EXPECT_TRUE(peer.WaitClosed());
    EXPECT_EQ(testing::ThreadsBeyond(threads_before), "");
}

TEST(SendOnceTest, SendsTheTextWhenTheConnectionIsMade) {
    RawListener listener;
    int error = -1;
    EXPECT_TRUE(SendOnce("127.0.0.1", static_cast<int>(listener.port()), "UPDATE now", 5, &error));
    EXPECT_EQ(error, 0);
    RawConnection peer = listener.Accept();
    EXPECT_EQ(peer.ReadText(10), "UPDATE now");
    EXPECT_TRUE(peer.WaitClosed());
}

TEST(SendOnceTest, ReportsARefusedConnection) {
    int error = 0;
    EXPECT_FALSE(SendOnce("127.0.0.1", static_cast<int>(testing::FreePort()), "x", 0, &error));
    EXPECT_EQ(error, platform::kWsaEconnrefused);
}

}  // namespace
}  // namespace ruzd::net
