// The watchdog's loops in the order a flood of the peer port makes them matter: the heartbeat goes
// ahead of every waiting socket notice, a due tick next, and the notices one a pass.

#include "watchdog/frame_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/thread.h"
#include "watchdog/async_socket.h"
#include "watchdog/main_frame.h"

namespace ruzd::watchdog {
namespace {

constexpr int kNotices = 100;

// Runs `body` on a thread of its own, which has a queue of its own.
void OnOwnThread(const std::function<void()>& body) {
    platform::Thread thread("frame-loop");
    ASSERT_TRUE(thread.Start(body));
    thread.Join();
}

void PostNotices(uint32_t thread, int count) {
    for (int i = 0; i < count; ++i) {
        platform::PostThreadMessage(thread, kWmSocketNotify, static_cast<uintptr_t>(i));
    }
}

// A timer of 1 ms is due once 2 ms have passed.
void WaitUntilTimerIsDue() {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

TEST(FrameLoop, TheHeartbeatAndThenADueTickGoAheadOfTheWaitingNotices) {
    OnOwnThread([] {
        const uint32_t self = platform::CurrentThreadId();
        PostNotices(self, kNotices);
        const uint32_t timer = platform::SetThreadTimer(1);
        WaitUntilTimerIsDue();
        platform::PostThreadMessage(self, WM_TORMBEL_HEARTBEAT);
        platform::PostQuitMessage(7);

        std::vector<uint32_t> ids;
        const int exit_code = RunFrameLoop([&](platform::Message& message) {
            ids.push_back(message.id);
            if (message.id == platform::kWmTimer) {
                platform::KillThreadTimer(timer);
            }
            // A heartbeat that comes in the middle of the flood waits behind one notice at most.
            if (message.id == kWmSocketNotify && message.wparam == kNotices / 2) {
                platform::PostThreadMessage(self, WM_TORMBEL_HEARTBEAT);
            }
        });
        EXPECT_EQ(exit_code, 7);
        std::vector<uint32_t> expected = {WM_TORMBEL_HEARTBEAT, platform::kWmTimer};
        expected.insert(expected.end(), kNotices, kWmSocketNotify);
        expected.insert(expected.begin() + 2 + kNotices / 2 + 1, WM_TORMBEL_HEARTBEAT);
        EXPECT_EQ(ids, expected);
    });
}

TEST(FrameLoop, AWaitEndsOnceItsObjectIsSignalledHoweverManyMessagesWait) {
    OnOwnThread([] {
        const uint32_t self = platform::CurrentThreadId();
        PostNotices(self, kNotices);
        platform::Event finished(true);
        int handled = 0;
        EXPECT_TRUE(WaitServingMessages(finished, [&](platform::Message&) {
            ++handled;
            finished.Set();
        }));
        EXPECT_EQ(handled, 1);

        // A quit message ends the wait and stays for the loop.
        finished.Reset();
        platform::PostQuitMessage(3);
        int more = 0;
        EXPECT_FALSE(WaitServingMessages(finished, [&](platform::Message&) { ++more; }));
        EXPECT_EQ(more, kNotices - 1);
        platform::Message message;
        EXPECT_TRUE(platform::PeekMessage(message, true));
        EXPECT_EQ(message.id, platform::kWmQuit);
        EXPECT_EQ(message.wparam, 3u);
    });
}

}  // namespace
}  // namespace ruzd::watchdog
