// The time-out command on the program's thread: its limit, and the messages that arrive while
// it runs.

#include "watchdog/timeout_steps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_queue.h"
#include "platform/thread.h"
#include "testing/temp_root.h"
#include "watchdog/tests/fake_frame_window.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

TEST(TimeoutStepsTest, ACommandPastItsLimitIsLoggedAndACloseMeanwhileWaitsForItsEnd) {
    testing::TempWorkFolder work;
    WatchdogOptions options;
    options.command = "sleep 30";
    WatchdogFlags flags;
    FakeWindow window;
    std::vector<uint32_t> handled;
    bool busy_while_handled = false;
    // The limit stands for the 120 s the log names.
    TimeoutSteps steps(
        options, flags, window,
        [&](platform::Message& message) {
            handled.push_back(message.id);
            busy_while_handled = flags.busy.load();
        },
        200);
    platform::EnsureMessageQueue();
    const uint32_t thread = platform::CurrentThreadId();
    ASSERT_TRUE(platform::PostThreadMessage(thread, platform::kWmClose));
    ASSERT_TRUE(platform::PostThreadMessage(thread, 0x160F));
    steps.ExecuteCommand();

    EXPECT_EQ(handled, std::vector<uint32_t>{0x160F});
    EXPECT_TRUE(busy_while_handled);
    EXPECT_FALSE(flags.busy.load());
    EXPECT_EQ(window.posted, std::vector<uint32_t>{platform::kWmClose});
    const std::string log = testing::ReadWholeFile(kLogFileName);
    EXPECT_NE(log.find("ExecuteCommand: Executing 'sleep 30', timeout=120s\r\n"),
              std::string::npos);
    const size_t timeout =
        log.find("ExecuteCommand: ERROR Timeout waiting for process, timeout=120s\r\n");
    EXPECT_NE(timeout, std::string::npos) << log;
    EXPECT_NE(
        log.find("ExecuteCommand: Command finished with ExitCode=-6\r\nOutput:\r\n\r\n", timeout),
        std::string::npos)
        << log;
}

}  // namespace
}  // namespace ruzd::watchdog
