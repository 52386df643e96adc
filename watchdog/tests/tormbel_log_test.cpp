// The watchdog's log line: every line feed of its text is a CR LF in the file, once, and the text
// is in Windows-1252.

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

TEST(TormbelLogTest, TheTextIsInWindows1252WithAQuestionMarkForWhatItLacks) {
    const platform::WallTime time{std::chrono::milliseconds(1780000000123)};
    // "Café €", U+2713, and U+0081, which would be a byte the code page leaves undefined.
    const std::string line = LogLine(time, "Caf\xC3\xA9 \xE2\x82\xAC \xE2\x9C\x93 \xC2\x81");
    EXPECT_EQ(line.substr(line.find(' ', 11) + 1), "Caf\xE9 \x80 ? ?\r\n");
}

}  // namespace
}  // namespace ruzd::watchdog
