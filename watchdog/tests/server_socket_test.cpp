// The peer listener when the process has no descriptor left: the waiting connection is left
// waiting, and the listener pauses instead of trying again and again at full speed. In the test's
// own process, on its message queue, with real sockets.

#include "watchdog/server_socket.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/message_queue.h"
#include "platform/tcp_socket.h"
#include "testing/loopback_socket.h"
#include "testing/os_for_tests.h"
#include "testing/temp_root.h"
#include "testing/tormbel_program.h"

namespace ruzd::watchdog {
namespace {

using testing::RawConnection;

class CountingServer : public CServerSocket {
public:
    CountingServer() : CServerSocket([](int, CClientSocket*) {}) {}
    int accept_notices = 0;

protected:
    void OnAccept(int error) override {
        ++accept_notices;
        CServerSocket::OnAccept(error);
    }
};

// Hands the thread's socket notices to their sockets for `period`.
void PumpFor(std::chrono::milliseconds period) {
    const auto deadline = std::chrono::steady_clock::now() + period;
    for (auto now = std::chrono::steady_clock::now(); now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        platform::MsgWaitForMultiple({}, static_cast<uint32_t>(left.count()) + 1);
        platform::Message message;
        while (platform::PeekMessage(message, true)) {
            DispatchSocketNotice(message);
        }
    }
}

// Pumps until `done` holds; whether it did within the patience of a test.
bool PumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + testing::kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        PumpFor(std::chrono::milliseconds(10));
    }
    return true;
}

TEST(PeerListenerTest, WithoutDescriptorsItPausesAndTakesTheWaitingConnectionLater) {
    testing::TempWorkFolder work;
    CountingServer server;
    const uint16_t port = testing::FreePort();
    ASSERT_TRUE(server.Listen(port));
    // A first connection walks every path once while descriptors are plenty (the sanitizers
    // check each virtual call's object once, through a pipe they cannot make without one).
    RawConnection first = RawConnection::Connect(port);
    ASSERT_TRUE(PumpUntil([&] { return server.accepted().size() == 1; }));

    RawConnection waiting;
    int notices = 0;
    {
        testing::LastDescriptorLeft last;
        ASSERT_TRUE(last.valid());
        waiting = RawConnection::Connect(port);
        ASSERT_TRUE(waiting.valid());
        const int before = server.accept_notices;
        PumpFor(std::chrono::milliseconds(20 * platform::kAcceptPauseMs));
        notices = server.accept_notices - before;
    }
    // About one attempt per pause; without the pause, thousands.
    EXPECT_GE(notices, 1);
    EXPECT_LE(notices, 40);
    EXPECT_EQ(server.accepted().size(), 1u);

    ASSERT_TRUE(PumpUntil([&] { return server.accepted().size() == 2; }));
    EXPECT_EQ(testing::CountOf(testing::ReadWholeFile(work.path() / "Tormbel.log"),
                               "Peer listener accepts again\r\n"),
              1u);
}

}  // namespace
}  // namespace ruzd::watchdog
