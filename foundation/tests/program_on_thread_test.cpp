#include "foundation/program_on_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "foundation/app_hooks.h"
#include "foundation/thread_names.h"
#include "foundation/utilities.h"
#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/thread.h"

namespace ruzd::foundation {
namespace {

constexpr uint32_t kRunDone = platform::kWmUser + 7;

struct Received {
    uint32_t id = 0;
    uintptr_t wparam = 0;
    std::optional<RunProgramResult> result;
};

// A thread with a message loop that keeps the first message it gets.
class Receiver {
public:
    Receiver() : thread_("receiver") {
        thread_.Start([this] {
            platform::Message message;
            if (platform::GetMessage(message)) {
                received_.id = message.id;
                received_.wparam = message.wparam;
                if (const auto* result = message.PayloadAs<RunProgramResult>()) {
                    received_.result = *result;
                }
            }
            got_.Set();
        });
    }
    ~Receiver() {
        platform::PostThreadMessage(thread_.id(), platform::kWmQuit);
        thread_.Join();
    }

    uint32_t id() const { return thread_.id(); }
    const Received& Wait() {
        got_.Wait(platform::kInfinite);
        return received_;
    }

private:
    platform::Thread thread_;
    platform::Event got_{true};
    Received received_;
};

class AppOnThread : public AppHooks {
public:
    explicit AppOnThread(uint32_t thread) : thread_(thread) {}
    uint32_t ApplicationThreadId() const override { return thread_; }

private:
    uint32_t thread_;
};

TEST(RunProgramOnThread, PostsTheResultToTheNotifyThread) {
    Receiver receiver;
    const uint32_t worker = CUtilities::RunProgramOnThread("sh -c \"echo done; exit 4\"", "",
                                                           receiver.id(), kRunDone, 77);
    EXPECT_NE(worker, 0u);
    const Received& got = receiver.Wait();
    EXPECT_EQ(got.id, kRunDone);
    EXPECT_EQ(got.wparam, 77u);
    ASSERT_TRUE(got.result.has_value());
    EXPECT_EQ(got.result->exit_code, 4);
    EXPECT_EQ(got.result->output, "done\n");
}

TEST(RunProgramOnThread, WithoutANotifyThreadTheApplicationThreadGetsTheResult) {
    Receiver app_thread;
    AppOnThread app(app_thread.id());
    ScopedApp installed(app);
    EXPECT_NE(CUtilities::RunProgramOnThread("no-such-program-anywhere", "", 0, kRunDone, 1), 0u);
    const Received& got = app_thread.Wait();
    EXPECT_EQ(got.id, kRunDone);
    ASSERT_TRUE(got.result.has_value());
    EXPECT_EQ(got.result->exit_code, kRunStartFailed);
}

TEST(RunProgramOnThread, ANotifyThreadThatIsGoneFallsBackToTheApplicationThread) {
    platform::Thread gone("gone");
    ASSERT_TRUE(gone.Start([] {}));
    gone.Join();
    Receiver app_thread;
    AppOnThread app(app_thread.id());
    ScopedApp installed(app);
    EXPECT_NE(CUtilities::RunProgramOnThread("true", "", gone.id(), kRunDone, 2), 0u);
    const Received& got = app_thread.Wait();
    EXPECT_EQ(got.wparam, 2u);
    ASSERT_TRUE(got.result.has_value());
    EXPECT_EQ(got.result->exit_code, 0);
}

TEST(RunProgramOnThread, TheWorkerIsNamedWhileItRunsOnly) {
    Receiver receiver;
    // The child prints the worker's name as the system sees it: the worker is its parent.
    const uint32_t worker = CUtilities::RunProgramOnThread("sh -c \"cat /proc/$PPID/task/*/comm\"",
                                                           "", receiver.id(), kRunDone, 0);
    ASSERT_NE(worker, 0u);
    const Received& got = receiver.Wait();
    ASSERT_TRUE(got.result.has_value());
    EXPECT_NE(got.result->output.find("RunProgramOnThr"), std::string::npos) << got.result->output;
    // The worker drops its name as it ends, right after posting.
    bool unnamed = false;
    for (int i = 0; i < 500 && !unnamed; ++i) {
        unnamed = ThreadNames::Get(worker).empty();
        if (!unnamed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    EXPECT_TRUE(unnamed);
}

}  // namespace
}  // namespace ruzd::foundation
