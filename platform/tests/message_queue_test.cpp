#include "platform/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/thread.h"

namespace ruzd::platform {
namespace {

// Counts its live instances, to see that payloads are freed exactly once.
struct Tracked {
    static inline std::atomic<int> alive{0};
    Tracked() { ++alive; }
    Tracked(const Tracked&) { ++alive; }
    Tracked(Tracked&&) noexcept { ++alive; }
    ~Tracked() { --alive; }
};

TEST(MessageQueue, PostsArriveInOrderWithTheirPayload) {
    std::vector<std::string> received;
    Event ready(true);
    Thread receiver("receiver");
    ASSERT_TRUE(receiver.Start([&] {
        EnsureMessageQueue();
        ready.Set();
        RunMessageLoop([&](Message& m) {
            const std::string* text = m.PayloadAs<std::string>();
            received.push_back(std::to_string(m.id) + ":" + (text ? *text : "-"));
        });
    }));
    ready.Wait(kInfinite);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(
            PostThreadMessage(receiver.id(), kWmUser + i, 0, 0,
                              std::make_unique<PayloadOf<std::string>>("m" + std::to_string(i))));
    }
    ASSERT_TRUE(PostThreadMessage(receiver.id(), kWmQuit));
    receiver.Join();
    EXPECT_EQ(received, (std::vector<std::string>{"1024:m0", "1025:m1", "1026:m2"}));
}

TEST(MessageQueue, PostToAThreadWithoutQueueFailsAndFreesThePayload) {
    Thread ended("ended");
    ASSERT_TRUE(ended.Start([] { EnsureMessageQueue(); }));
    ended.Join();
    ASSERT_EQ(Tracked::alive.load(), 0);
    EXPECT_FALSE(PostThreadMessage(ended.id(), kWmUser, 0, 0,
                                   std::make_unique<PayloadOf<Tracked>>(Tracked{})));
    EXPECT_EQ(LastPostError(), kErrorInvalidThreadId);
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(MessageQueue, PendingPayloadsAreFreedWithTheThread) {
    Event posted(true);
    Thread owner("owner");
    ASSERT_TRUE(owner.Start([&] {
        EnsureMessageQueue();
        PostThreadMessage(CurrentThreadId(), kWmUser, 0, 0,
                          std::make_unique<PayloadOf<Tracked>>(Tracked{}));
        EXPECT_EQ(Tracked::alive.load(), 1);
    }));
    owner.Join();
    EXPECT_EQ(Tracked::alive.load(), 0);
}

TEST(MessageQueue, PeekWithoutRemovalLeavesTheMessage) {
    Thread thread("peek");
    ASSERT_TRUE(thread.Start([] {
        Message m;
        EXPECT_FALSE(PeekMessage(m, false));
        PostThreadMessage(CurrentThreadId(), kWmUser + 5, 1, 2);
        EXPECT_TRUE(PeekMessage(m, false));
        EXPECT_EQ(m.id, kWmUser + 5);
        EXPECT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.wparam, 1u);
        EXPECT_EQ(m.lparam, 2);
        EXPECT_FALSE(PeekMessage(m, true));
    }));
    thread.Join();
}

TEST(MessageQueue, AFilteredPeekTakesTheFirstMessageInItsRangeAndLeavesTheRestInOrder) {
    Thread thread("filter");
    ASSERT_TRUE(thread.Start([] {
        const uint32_t self = CurrentThreadId();
        PostThreadMessage(self, kWmUser + 1, 1);
        PostThreadMessage(self, kWmUser + 2, 2);
        PostThreadMessage(self, kWmUser + 1, 3);
        Message m;
        EXPECT_FALSE(PeekMessage(m, true, kWmUser + 3, kWmUser + 9));
        EXPECT_TRUE(PeekMessage(m, false, kWmUser + 2, kWmUser + 2));
        EXPECT_EQ(m.wparam, 2u);
        EXPECT_TRUE(PeekMessage(m, true, kWmUser + 2, kWmUser + 5));
        EXPECT_EQ(m.wparam, 2u);
        EXPECT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.wparam, 1u);
        EXPECT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.wparam, 3u);
        EXPECT_FALSE(PeekMessage(m, true));

        // A due timer comes to a filter that holds its message, ahead of the posted ones, and to
        // no other.
        const uint32_t timer = SetThreadTimer(1);
        PostThreadMessage(self, kWmUser + 1, 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_FALSE(PeekMessage(m, true, kWmClose, kWmClose));
        EXPECT_TRUE(PeekMessage(m, true, kWmTimer, kWmTimer));
        EXPECT_EQ(m.id, kWmTimer);
        EXPECT_EQ(m.wparam, timer);
        EXPECT_TRUE(KillThreadTimer(timer));
        EXPECT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.wparam, 4u);
    }));
    thread.Join();
}

TEST(MessageQueue, TimersTickWithTheirIdsUntilKilled) {
    Thread thread("timers");
    ASSERT_TRUE(thread.Start([] {
        const uint32_t fast = SetThreadTimer(5);
        const uint32_t slow = SetThreadTimer(100000);
        EXPECT_NE(fast, 0u);
        EXPECT_NE(fast, slow);
        int ticks = 0;
        Message m;
        while (ticks < 3 && GetMessage(m)) {
            ASSERT_EQ(m.id, kWmTimer);
            EXPECT_EQ(m.wparam, fast);
            ++ticks;
        }
        EXPECT_TRUE(KillThreadTimer(fast));
        EXPECT_FALSE(KillThreadTimer(fast));
        Waitable* none[] = {};
        EXPECT_EQ(MsgWaitForMultiple(std::span<Waitable* const>(none, 0), 30), kWaitTimeout);
    }));
    thread.Join();
}

TEST(MessageQueue, PumpingWaitDispatchesAndNeverSwallowsQuit) {
    Thread thread("pumping");
    Event object(true);
    ASSERT_TRUE(thread.Start([&] {
        std::vector<uint32_t> dispatched;
        PostThreadMessage(CurrentThreadId(), kWmUser + 1);
        PostThreadMessage(CurrentThreadId(), kWmUser + 2);
        EXPECT_EQ(WaitPumping(object, 20, [&](Message& m) { dispatched.push_back(m.id); }),
                  PumpedWait::kTimeout);
        EXPECT_EQ(dispatched, (std::vector<uint32_t>{kWmUser + 1, kWmUser + 2}));

        PostQuitMessage(3);
        PostThreadMessage(CurrentThreadId(), kWmUser + 9);
        EXPECT_EQ(WaitPumping(object, kInfinite, [&](Message& m) { dispatched.push_back(m.id); }),
                  PumpedWait::kQuit);
        Message m;
        ASSERT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.id, kWmUser + 9);
        EXPECT_FALSE(GetMessage(m)) << "the quit message was posted again";
        EXPECT_EQ(m.wparam, 3u);

        object.Set();
        EXPECT_EQ(WaitPumping(object, kInfinite, nullptr), PumpedWait::kSignaled);
    }));
    thread.Join();
}

TEST(MessageQueue, AWakeUpHookHearsOfEveryPostUntilRemoved) {
    std::atomic<int> wakes{0};
    SetMessageWakeUp([&] { ++wakes; });
    EXPECT_EQ(MillisToNextTimer(), std::nullopt);
    const uint32_t timer = SetThreadTimer(60000);
    EXPECT_LE(MillisToNextTimer().value_or(0), 60000u);
    EXPECT_GT(MillisToNextTimer().value_or(0), 1000u);
    KillThreadTimer(timer);

    const uint32_t self = CurrentThreadId();
    Thread poster("poster");
    ASSERT_TRUE(poster.Start([self] { PostThreadMessage(self, kWmUser + 1); }));
    poster.Join();
    PostQuitMessage(0);
    EXPECT_EQ(wakes.load(), 2);
    SetMessageWakeUp({});
    PostThreadMessage(self, kWmUser + 2);
    EXPECT_EQ(wakes.load(), 2);
    Message m;
    while (PeekMessage(m, true)) {
    }
}

}  // namespace
}  // namespace ruzd::platform
