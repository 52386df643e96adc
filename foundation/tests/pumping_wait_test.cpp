#include "foundation/pumping_wait.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/app_hooks.h"
#include "foundation/utilities.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

// An application whose thread is the one that installed it; it records what it is handed.
class RecordingApp : public AppHooks {
public:
    RecordingApp() : thread_(platform::CurrentThreadId()) { platform::EnsureMessageQueue(); }
    uint32_t ApplicationThreadId() const override { return thread_; }
    void PumpMessage(platform::Message& message) override {
        pumped.push_back(message.id);
        if (on_message) {
            on_message(message);
        }
    }

    std::vector<uint32_t> pumped;
    std::function<void(platform::Message&)> on_message;

private:
    uint32_t thread_;
};

TEST(WaitForSingleObjectPumping, OnAWorkerThreadAnUnsignalledObjectTimesOut) {
    platform::Event never(true);
    bool result = true;
    platform::Thread worker("waiter");
    ASSERT_TRUE(worker.Start([&] { result = CUtilities::WaitForSingleObjectPumping(never, 2); }));
    worker.Join();
    EXPECT_FALSE(result);
}

TEST(WaitForSingleObjectPumping, ASignalledObjectEndsTheWait) {
    platform::Event set(true, true);
    EXPECT_TRUE(CUtilities::WaitForSingleObjectPumping(set, 1));
    EXPECT_TRUE(CUtilities::WaitForSingleObjectPumping(set, kWaitNoLimitSeconds));
}

TEST(WaitForSingleObjectPumping, AWorkerThreadLeavesItsMessagesInTheQueue) {
    RecordingApp app;  // this thread is the application's; the worker is not
    ScopedApp installed(app);
    platform::Event never(true);
    bool result = true;
    bool message_kept = false;
    platform::Thread worker("waiter");
    ASSERT_TRUE(worker.Start([&] {
        platform::PostThreadMessage(platform::CurrentThreadId(), platform::kWmUser);
        result = CUtilities::WaitForSingleObjectPumping(never, 1);
        platform::Message message;
        message_kept = platform::PeekMessage(message, true) && message.id == platform::kWmUser;
    }));
    worker.Join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(message_kept);
    EXPECT_TRUE(app.pumped.empty());
}

TEST(WaitForSingleObjectPumping, OnTheApplicationThreadMessagesAreDispatchedWhileWaiting) {
    RecordingApp app;
    ScopedApp installed(app);
    platform::Event done(true);
    // The message that arrives during the wait is what ends it.
    app.on_message = [&](platform::Message& message) {
        if (message.id == platform::kWmUser + 1) {
            done.Set();
        }
    };
    platform::PostThreadMessage(platform::CurrentThreadId(), platform::kWmUser);
    platform::PostThreadMessage(platform::CurrentThreadId(), platform::kWmUser + 1);
    EXPECT_TRUE(CUtilities::WaitForSingleObjectPumping(done, kWaitNoLimitSeconds));
    EXPECT_EQ(app.pumped, (std::vector<uint32_t>{platform::kWmUser, platform::kWmUser + 1}));
}

TEST(WaitForSingleObjectPumping, OnTheApplicationThreadTheLimitStillHolds) {
    RecordingApp app;
    ScopedApp installed(app);
    platform::Event never(true);
    EXPECT_FALSE(CUtilities::WaitForSingleObjectPumping(never, 1));
}

TEST(WaitForSingleObjectPumping, AQuitMessageEndsTheWaitAndStaysForTheMessageLoop) {
    RecordingApp app;
    ScopedApp installed(app);
    platform::Event never(true);
    platform::PostQuitMessage(5);
    EXPECT_FALSE(CUtilities::WaitForSingleObjectPumping(never, kWaitNoLimitSeconds));
    platform::Message message;
    ASSERT_TRUE(platform::PeekMessage(message, true));
    EXPECT_EQ(message.id, platform::kWmQuit);
    EXPECT_EQ(message.wparam, 5u);
    EXPECT_TRUE(app.pumped.empty());
}

}  // namespace
}  // namespace ruzd::foundation
