// The watchdog's log line: every line feed of its text is a CR LF in the file, once.

#include "watchdog/tormbel_log.h"

#include <gtest/gtest.h>

namespace ruzd::watchdog {
namespace {

TEST(TormbelLogTest, EveryLineFeedOfTheTextBecomesOneCrLf) {
    const platform::WallTime time{std::chrono::milliseconds(1780000000123)};
    const std::string line = LogLine(time, "ExitCode=0\nOutput:\nfirst\r\nsecond\n");
    EXPECT_EQ(line.substr(line.find(' ', 11) + 1),
              "ExitCode=0\r\nOutput:\r\nfirst\r\nsecond\r\n\r\n");
}

}  // namespace
}  // namespace ruzd::watchdog
