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
#include "testing/message_receiver.h"

namespace ruzd::foundation {
namespace {

constexpr uint32_t kRunDone = platform::kWmUser + 7;

using ruzd::testing::AppOnThread;
using ruzd::testing::MessageReceiver;

TEST(RunProgramOnThread, PostsTheResultToTheNotifyThread) {
    MessageReceiver receiver;
    const uint32_t worker = CUtilities::RunProgramOnThread("sh -c \"echo done; exit 4\"", "",
                                                           receiver.id(), kRunDone, 77);
    EXPECT_NE(worker, 0u);
    const std::optional<platform::Message> got = receiver.Next();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->id, kRunDone);
    EXPECT_EQ(got->wparam, 77u);
    const RunProgramResult* result = got->PayloadAs<RunProgramResult>();
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->exit_code, 4);
    EXPECT_EQ(result->output, "done\n");
}

TEST(RunProgramOnThread, WithoutANotifyThreadTheApplicationThreadGetsTheResult) {
    MessageReceiver app_thread;
    AppOnThread app(app_thread.id());
    ScopedApp installed(app);
    EXPECT_NE(CUtilities::RunProgramOnThread("no-such-program-anywhere", "", 0, kRunDone, 1), 0u);
    const std::optional<platform::Message> got = app_thread.Next();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->id, kRunDone);
    ASSERT_NE(got->PayloadAs<RunProgramResult>(), nullptr);
    EXPECT_EQ(got->PayloadAs<RunProgramResult>()->exit_code, kRunStartFailed);
}

TEST(RunProgramOnThread, ANotifyThreadThatIsGoneFallsBackToTheApplicationThread) {
    platform::Thread gone("gone");
    ASSERT_TRUE(gone.Start([] {}));
    gone.Join();
    MessageReceiver app_thread;
    AppOnThread app(app_thread.id());
    ScopedApp installed(app);
    EXPECT_NE(CUtilities::RunProgramOnThread("true", "", gone.id(), kRunDone, 2), 0u);
    const std::optional<platform::Message> got = app_thread.Next();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->wparam, 2u);
    ASSERT_NE(got->PayloadAs<RunProgramResult>(), nullptr);
    EXPECT_EQ(got->PayloadAs<RunProgramResult>()->exit_code, 0);
}

TEST(RunProgramOnThread, TheWorkerIsNamedWhileItRunsOnly) {
    MessageReceiver receiver;
    // The child prints the worker's name as the system sees it: the worker is its parent.
    const uint32_t worker = CUtilities::RunProgramOnThread("sh -c \"cat /proc/$PPID/task/*/comm\"",
                                                           "", receiver.id(), kRunDone, 0);
    ASSERT_NE(worker, 0u);
    const std::optional<platform::Message> got = receiver.Next();
    ASSERT_TRUE(got.has_value());
    const RunProgramResult* result = got->PayloadAs<RunProgramResult>();
    ASSERT_NE(result, nullptr);
    EXPECT_NE(result->output.find("RunProgramOnThr"), std::string::npos) << result->output;
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
